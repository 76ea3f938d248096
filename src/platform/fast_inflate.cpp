#include "platform/fast_inflate.h"

#include <libdeflate.h>

#include <memory>

namespace quen::platform {

namespace {
struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
}  // namespace

bool FastZlibInflate(const void* in, size_t in_size, void* out, size_t out_capacity,
                     size_t* produced) {
  // A decompressor holds tables worth keeping between calls; one per thread.
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(
      libdeflate_alloc_decompressor());
  if (!d) return false;
  size_t in_used = 0;
  size_t out_size = 0;
  libdeflate_result r =
      libdeflate_zlib_decompress_ex(d.get(), in, in_size, out, out_capacity, &in_used, &out_size);
  if (r != LIBDEFLATE_SUCCESS) return false;
  *produced = out_size;
  return true;
}

}  // namespace quen::platform
