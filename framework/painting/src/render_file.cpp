// File output: a control rendered whole into a PNG, SVG or PDF file, written atomically,
// or into a PNG's bytes in memory.
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/render.h"
#include "render_checks.h"

namespace kyv {
namespace {

cairo_status_t append(void* bytes, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(bytes)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// A surface for the file's format writing into `bytes` (a PNG is written at the end);
// raises for an extension of no format.
cairo_surface_t* surfaceFor(const std::string& path, const std::string& ext, int w, int h, std::string& bytes) {
  if (ext == ".png") return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (ext == ".svg") return cairo_svg_surface_create_for_stream(append, &bytes, w, h);
  if (ext == ".pdf") return cairo_pdf_surface_create_for_stream(append, &bytes, w, h);
  raise(ErrorKind::InvalidPropertyValue, "Invalid property value: " + path + " is not a .png, .svg or .pdf file");
}

// Finishes the surface, the PNG's bytes written; the first failure's status.
cairo_status_t finish(cairo_surface_t* surface, const std::string& ext, std::string& bytes) {
  cairo_surface_flush(surface);
  cairo_status_t status = cairo_surface_status(surface);
  if (status == CAIRO_STATUS_SUCCESS && ext == ".png")
    status = cairo_surface_write_to_png_stream(surface, append, &bytes);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  return status;
}

// The picture's bytes in the format of extension `ext` (".png", ".svg", ".pdf"); `path`
// names the file in messages.
std::string renderBytes(Control& control, const std::string& path, const std::string& ext,
                        const RenderOptions& options) {
  const double tpp = options.twipsPerPixel;
  paint::checkScale(tpp);
  const Surface& s = control.UserControl();
  const double width = std::max(1.0, std::ceil(s.widthTwips() / tpp));
  const double height = std::max(1.0, std::ceil(s.heightTwips() / tpp));
  paint::checkPicture(width, height, kMaxPicturePixels);
  std::string bytes;
  cairo_surface_t* surface = surfaceFor(path, ext, static_cast<int>(width), static_cast<int>(height), bytes);
  cairo_t* cr = cairo_create(surface);
  RenderOptions whole;
  whole.twipsPerPixel = tpp;
  whole.palette = options.palette;
  render(control, cr, whole);
  cairo_destroy(cr);
  const cairo_status_t status = finish(surface, ext, bytes);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    raise(ErrorKind::InvalidPropertyValue,
          "Invalid property value: cannot render " + path + ": " + cairo_status_to_string(status));
  return bytes;
}

RenderOptions atScale(double tpp) {
  RenderOptions options;
  options.twipsPerPixel = tpp;
  return options;
}

}  // namespace

void renderToFile(Control& control, const std::string& path, double tpp) { renderToFile(control, path, atScale(tpp)); }

void renderToFile(Control& control, const std::string& path, const RenderOptions& options) {
  const std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
  writeFileAtomically(path, renderBytes(control, path, ext, options));
}

std::string renderToPng(Control& control, double tpp) { return renderToPng(control, atScale(tpp)); }

std::string renderToPng(Control& control, const RenderOptions& options) {
  return renderBytes(control, "a PNG", ".png", options);
}

}  // namespace kyv
