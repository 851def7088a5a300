#include "editor/preview_surface.h"

namespace qm {

PreviewSurface::~PreviewSurface() = default;

}  // namespace qm
