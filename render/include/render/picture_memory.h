// SPDX-License-Identifier: MIT
// What a picture says when an image it needs cannot be allocated.
#ifndef ORVANE_RENDER_PICTURE_MEMORY_H_
#define ORVANE_RENDER_PICTURE_MEMORY_H_

namespace orvane {

// A picture whose raster, a layer of a large series or an image its
// writer makes could not be allocated is not written at all: a picture
// without its data would pass for a whole one.
inline constexpr const char* kMessagePictureMemory =
    "Not enough memory to draw the picture.";

}  // namespace orvane

#endif  // ORVANE_RENDER_PICTURE_MEMORY_H_
