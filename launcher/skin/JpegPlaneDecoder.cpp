#include "JpegPlaneDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace Ajpg {

namespace {

struct AjpgErrorManager {
  jpeg_error_mgr standard;
  std::jmp_buf jump;
};

// The library's errors come back to DecodeJpegPlane instead of ending the
// process; nothing is printed.
void AjpgErrorExit(j_common_ptr info) {
  AjpgErrorManager* manager = reinterpret_cast<AjpgErrorManager*>(info->err);
  std::longjmp(manager->jump, 1);
}

void AjpgIgnoreMessage(j_common_ptr) {}

void AjpgInitSource(j_decompress_ptr) {}

void AjpgTermSource(j_decompress_ptr) {}

// The whole plane was handed over at the start, so a request for more means
// the plane is truncated or damaged: fail rather than read past it.
boolean AjpgFillInput(j_decompress_ptr info) {
  info->err->msg_code = JERR_INPUT_EOF;
  info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
  return FALSE;
}

void AjpgSkipInput(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = info->src;
  const size_t skip = static_cast<size_t>(count);
  if (skip >= source->bytes_in_buffer) {
    source->next_input_byte += source->bytes_in_buffer;
    source->bytes_in_buffer = 0;
    return;
  }
  source->next_input_byte += skip;
  source->bytes_in_buffer -= skip;
}

void CopyRow(const JSAMPLE* row, PlaneKind kind, uint32_t width, uint8_t* out) {
  if (kind == PlaneKind::kAlpha) {
    for (uint32_t x = 0; x < width; ++x) out[x * 4 + 3] = row[x];
    return;
  }
  for (uint32_t x = 0; x < width; ++x) {
    uint8_t* pixel = out + x * 4;
    const JSAMPLE* sample = row + x * 3;
    pixel[0] = sample[2];
    pixel[1] = sample[1];
    pixel[2] = sample[0];
  }
}

}  // namespace

bool DecodeJpegPlane(const PlaneBytes& plane, PlaneKind kind, uint32_t width, uint32_t height,
                     uint8_t* pixels, size_t stride) {
  const int components = kind == PlaneKind::kAlpha ? 1 : 3;
  jpeg_decompress_struct info;
  AjpgErrorManager errors;
  jpeg_source_mgr source;
  std::memset(&info, 0, sizeof(info));
  std::memset(&source, 0, sizeof(source));
  info.err = jpeg_std_error(&errors.standard);
  errors.standard.error_exit = AjpgErrorExit;
  errors.standard.output_message = AjpgIgnoreMessage;
  // Armed before the decompressor exists; destroying a zeroed or
  // half-made decompressor is safe.
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  source.next_input_byte = plane.data;
  source.bytes_in_buffer = plane.size;
  source.init_source = AjpgInitSource;
  source.fill_input_buffer = AjpgFillInput;
  source.skip_input_data = AjpgSkipInput;
  source.resync_to_restart = jpeg_resync_to_restart;
  source.term_source = AjpgTermSource;
  info.src = &source;
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  if (info.output_components != components || info.output_width != width ||
      info.output_height != height) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             width * components, 1);
  while (info.output_scanline < info.output_height) {
    const JDIMENSION r = info.output_scanline;
    if (jpeg_read_scanlines(&info, row, 1) != 1) {
      jpeg_destroy_decompress(&info);
      return false;
    }
    CopyRow(row[0], kind, width, pixels + static_cast<size_t>(r) * stride);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace Ajpg
