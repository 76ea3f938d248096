// pack, list, extract, verify: the archive verbs.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "base/error.h"
#include "base/sjis.h"
#include "files/big_stream.h"
#include "files/host_path.h"
#include "files/messages.h"
#include "files/vr_file.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "quentool/verb.h"

namespace quentool {
namespace {

using quen::TVrFile;
using quen::TVrFileCollection;

// Counts what is written to it.
class CountingStream : public quen::TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    size_ += count;
    return count;
  }
  int64_t Seek(int64_t, quen::TSeekOrigin) override { return size_; }
  int64_t GetSize() override { return size_; }

 private:
  int64_t size_ = 0;
};

void CollectFiles(const std::string& root, const std::string& rel, std::vector<std::string>& out) {
  auto entries = quen::platform::ListDirectory(root + rel);
  std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
  for (const auto& e : entries) {
    std::string r = rel + e.name;
    if (e.is_dir)
      CollectFiles(root, r + "/", out);
    else
      out.push_back(r);
  }
}

int Pack(const Args& in) {
  Args args = in;
  std::string out, exe;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o FILE is required"};
  TakeOption(args, "--append-to", exe);
  if (args.size() != 1) throw UsageError{"one folder to pack"};
  std::string dir = quen::WithSlash(args[0]);
  if (!quen::platform::IsDirectory(dir)) throw UsageError{"not a folder: " + args[0]};

  TVrFileCollection c;
  c.SetFolder(dir);
  std::vector<std::string> files;
  CollectFiles(dir, "", files);
  // An earlier output inside the folder is no input of the new one.
  const std::string out_canonical = quen::platform::CanonicalPath(out);
  for (const auto& f : files) {
    if (!out_canonical.empty() && quen::platform::CanonicalPath(dir + f) == out_canonical) continue;
    std::string name;
    std::string rel = f;
    std::replace(rel.begin(), rel.end(), '/', '\\');
    if (!quen::platform::TryUtf8ToCp932(rel, name)) {
      std::fprintf(stderr, "quentool pack: %s has no Shift-JIS name\n", f.c_str());
      return 1;
    }
    c.AddEntry(name);
  }
  // The archive is written under a private name beside the output and takes its place when
  // complete, so neither an interrupted run nor the files beside the output are harmed.
  const std::string tmp = quen::platform::CreateUniqueFile(out + ".~", ".tmp");
  if (tmp.empty()) throw UsageError{"cannot write beside " + out};
  try {
    {
      quen::TKvBigFileStream target(tmp, quen::TFileMode::fmCreate);
      int64_t base = 0;
      if (!exe.empty()) {
        quen::TKvBigFileStream program(exe, quen::TFileMode::fmOpenRead);
        base = program.GetSize();
        if (base > INT32_MAX) throw UsageError{"the executable is too large for a trailer"};
        if (base > 0) target.CopyFrom(program, 0);
      }
      c.Write(target);
      if (!exe.empty()) {
        quen::WriteInt32(target, static_cast<int32_t>(base));
        target.WriteBuffer("qn", 2);
      }
      if (target.GetSize() > quen::TKvBigFileStream::kDefaultPartSize)
        throw UsageError{"the archive is larger than one file part"};
    }
    if (!quen::platform::RenameFile(tmp, out)) throw UsageError{"cannot write " + out};
  } catch (...) {
    quen::platform::RemoveFile(tmp);
    throw;
  }
  return 0;
}

// The checksum of an entry's content as its checksum mode computes it.
uint32_t ComputedChecksum(TVrFileCollection& c, const TVrFile& e) {
  if (e.ChecksumMode == 1) {
    quen::TKvMemoryStream content;
    c.ReadEntry(e, content);
    return quen::Crc32(content.Data().data(), content.Data().size());
  }
  std::string stored = c.ReadStored(e);
  return quen::Crc32(stored.data(), stored.size());
}

void OpenArchive(TVrFileCollection& c, const std::string& path) {
  if (!quen::platform::IsRegularFile(path))
    throw quen::EQuenError(
        quen::Format(quen::msg::kFileNotFound, quen::platform::Utf8ToCp932(path).c_str()));
  c.OpenDetect(path);
}

std::string Utf8Name(const TVrFile& e) {
  return quen::platform::Cp932ToUtf8(e.Name());
}

int List(const Args& args) {
  if (args.size() != 1) throw UsageError{"one archive to list"};
  TVrFileCollection c;
  OpenArchive(c, args[0]);
  for (int i = 0; i < c.EntryCount(); ++i) {
    const TVrFile& e = *c.Entry(i);
    CountingStream count;
    c.ReadEntry(e, count);
    std::printf("%s\t%lld\t%s\t%08x\n", Utf8Name(e).c_str(),
                static_cast<long long>(count.GetSize()), e.Stored == 1 ? "stored" : "deflated",
                e.Checksum);
  }
  return 0;
}

int Extract(const Args& in) {
  Args args = in;
  std::string out;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o DIR is required"};
  if (args.empty()) throw UsageError{"an archive to extract"};
  TVrFileCollection c;
  OpenArchive(c, args[0]);
  std::vector<std::string> wanted(args.begin() + 1, args.end());
  out = quen::WithSlash(out);
  quen::platform::MakeDirectory(out);
  int missing = 0;
  for (const auto& w : wanted) {
    std::string name;
    quen::platform::TryUtf8ToCp932(w, name);
    std::replace(name.begin(), name.end(), '/', '\\');
    if (!c.FindFile(name)) {
      std::fprintf(stderr, "quentool extract: no entry %s\n", w.c_str());
      ++missing;
    }
  }
  for (int i = 0; i < c.EntryCount(); ++i) {
    const TVrFile& e = *c.Entry(i);
    if (!wanted.empty()) {
      bool take = std::any_of(wanted.begin(), wanted.end(), [&](const std::string& w) {
        std::string n;
        quen::platform::TryUtf8ToCp932(w, n);
        std::replace(n.begin(), n.end(), '/', '\\');
        return quen::sjis::EqualsNoCase(n, e.Name());
      });
      if (!take) continue;
    }
    // Every component becomes a host folder; names that would climb out are refused.
    auto parts = quen::SplitGameName(e.Name());
    if (parts.empty() ||
        std::any_of(parts.begin(), parts.end(), [](auto& p) { return p == ".." || p == "."; })) {
      std::fprintf(stderr, "quentool extract: skipping unsafe name %s\n", Utf8Name(e).c_str());
      ++missing;
      continue;
    }
    // Nothing is written through a link already in the output folder.
    std::string path = out;
    bool linked = false;
    for (size_t k = 0; k + 1 < parts.size() && !linked; ++k) {
      path += quen::platform::Cp932ToUtf8(parts[k]);
      linked = quen::platform::IsSymlink(path);
      path += "/";
      if (!linked) quen::platform::MakeDirectory(path);
    }
    if (!linked) {
      path += quen::platform::Cp932ToUtf8(parts.back());
      linked = quen::platform::IsSymlink(path);
    }
    if (linked) {
      std::fprintf(stderr, "quentool extract: skipping %s: a link is in the way\n",
                   Utf8Name(e).c_str());
      ++missing;
      continue;
    }
    if (c.Version() > 100 && ComputedChecksum(c, e) != e.Checksum) {
      std::fprintf(stderr, "quentool extract: %s: checksum mismatch\n", Utf8Name(e).c_str());
      ++missing;
      continue;
    }
    quen::TKvBigMemoryStream content;
    c.ReadEntry(e, content);
    content.SaveToFile(path);
  }
  return missing == 0 ? 0 : 1;
}

int Verify(const Args& args) {
  if (args.size() != 1) throw UsageError{"one archive to verify"};
  TVrFileCollection c;
  OpenArchive(c, args[0]);
  int failed = 0;
  for (int i = 0; i < c.EntryCount(); ++i) {
    const TVrFile& e = *c.Entry(i);
    std::string name = Utf8Name(e);
    if (c.Version() <= 100) {
      std::printf("%s\tno checksum\n", name.c_str());
      continue;
    }
    uint32_t crc = 0;
    try {
      crc = ComputedChecksum(c, e);
    } catch (const quen::EQuenError&) {
      std::printf("%s\tFAILED (damaged data)\n", name.c_str());
      ++failed;
      continue;
    }
    if (crc == e.Checksum) {
      std::printf("%s\tok\n", name.c_str());
    } else {
      std::printf("%s\tFAILED (stored %08x, computed %08x)\n", name.c_str(), e.Checksum, crc);
      ++failed;
    }
  }
  std::printf("%d of %d entries failed\n", failed, c.EntryCount());
  return failed == 0 ? 0 : 1;
}

QUENTOOL_VERB("pack", "pack DIR -o FILE [--append-to EXE]", Pack);
QUENTOOL_VERB("list", "list FILE", List);
QUENTOOL_VERB("extract", "extract FILE -o DIR [NAME...]", Extract);
QUENTOOL_VERB("verify", "verify FILE", Verify);

}  // namespace
}  // namespace quentool
