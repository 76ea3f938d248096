#!/usr/bin/env python3
"""The house rules of DESIGN.md that a machine can check, over src/ and tools/:

- a layer includes only the layers before it (src/ folders in dependency order; tools may use
  every layer, the player program every layer but the authoring one);
- outside src/platform/ no third-party or operating-system header is included, except the format
  libraries where DESIGN.md allows them (zlib in files and imaging, libpng and libjpeg-turbo in
  imaging);
- outside src/platform/ nothing calls getenv, a std::chrono clock's now(), localtime or gmtime,
  opens file streams, renames or removes files, or casts to a platform class.

Prints one line per breach ("FILE:LINE: what") and exits 1 when there is any.
"""
import os
import re
import sys

LAYERS = ["base", "platform", "files", "expr", "imaging", "text", "media", "components",
          "runtime", "shell", "authoring"]

# Format libraries allowed outside the platform layer, and where.
FORMAT_HEADERS = {
    "zlib.h": {"files", "imaging"},
    "png.h": {"imaging"},
    "turbojpeg.h": {"imaging"},
    "jpeglib.h": {"imaging"},
}

STD_HEADERS = set("""
algorithm any array atomic barrier bit bitset cassert ccomplex cctype cerrno cfenv cfloat charconv
chrono cinttypes ciso646 climits clocale cmath codecvt compare complex concepts condition_variable
coroutine csetjmp csignal cstdarg cstdbool cstddef cstdint cstdio cstdlib cstring ctgmath ctime
cuchar cwchar cwctype deque exception execution expected filesystem format forward_list fstream
functional future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list
locale map memory memory_resource mutex new numbers numeric optional ostream queue random ranges
ratio regex scoped_allocator semaphore set shared_mutex source_location span sstream stack
stdexcept stop_token streambuf string string_view syncstream system_error thread tuple
type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
version immintrin.h emmintrin.h smmintrin.h tmmintrin.h xmmintrin.h pmmintrin.h cpuid.h
""".split())

CALLS = [
    (re.compile(r"\bgetenv\s*\("), "getenv"),
    (re.compile(r"\b(steady_clock|system_clock|high_resolution_clock)\s*::\s*now\s*\("),
     "a clock's now()"),
    (re.compile(r"\b(localtime|localtime_r|gmtime|gmtime_r)\s*\("), "localtime"),
    (re.compile(r"\b(std::)?(i|o)?fstream\b"), "a file stream"),
    (re.compile(r"(?<![\w.>])(std::|::)?rename\s*\("), "rename"),
    (re.compile(r"(?<![\w.>])(std::|::)?(remove|unlink)\s*\(\s*(\w+\.c_str\(\)|\")"), "remove"),
    (re.compile(r"(?<![\w.>])(std::|::)?fopen\s*\("), "fopen"),
    (re.compile(r"dynamic_cast\s*<[^>]*platform::"), "a cast to a platform class"),
]

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def strip(text):
    """The code without comments and string or character literals, lines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif c == '"' or c == "'":
            if c == '"' and i > 0 and text[i - 1] == "R":
                m = re.match(r'"([^(]*)\(', text[i:])
                end = text.find(")" + (m.group(1) if m else "") + '"', i)
                j = n if end < 0 else end + len(m.group(1) if m else "") + 2
            else:
                j = i + 1
                while j < n and text[j] != c and text[j] != "\n":
                    j += 2 if text[j] == "\\" else 1
                j += 1
            out.append(c + "\n" * text.count("\n", i, j) + c)
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def layer_of(path):
    parts = path.split(os.sep)
    if parts[0] == "src" and len(parts) > 2:
        return parts[1]
    return None


def check_file(root, path, problems):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        text = f.read()
    layer = layer_of(path)
    in_platform = layer == "platform"
    is_player = path.startswith(os.path.join("tools", "quenplay"))
    for number, line in enumerate(text.split("\n"), 1):
        m = INCLUDE.match(line)
        if not m:
            continue
        kind, name = m.groups()
        if kind == '"':
            top = name.split("/")[0]
            if top in LAYERS:
                if layer and LAYERS.index(top) > LAYERS.index(layer):
                    problems.append(f"{path}:{number}: {layer} includes the later layer {top}")
                if is_player and top == "authoring":
                    problems.append(f"{path}:{number}: the player includes the authoring layer")
            continue
        if in_platform or name in STD_HEADERS:
            continue
        if name in FORMAT_HEADERS and layer in FORMAT_HEADERS[name]:
            continue
        problems.append(f"{path}:{number}: <{name}> outside src/platform")
    if in_platform:
        return
    code = strip(text)
    for number, line in enumerate(code.split("\n"), 1):
        for pattern, what in CALLS:
            if pattern.search(line):
                problems.append(f"{path}:{number}: {what} outside src/platform")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    problems = []
    for top in ("src", "tools"):
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if name.endswith((".cpp", ".h")):
                    check_file(root, os.path.relpath(os.path.join(folder, name), root), problems)
    for p in sorted(problems):
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
