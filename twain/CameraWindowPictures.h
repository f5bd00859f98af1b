#pragma once
// The camera window's resources, carried inside the data source: template
// 6000 and the skinned buttons' pictures, made at build time.
#include <cstddef>

namespace strenvik {

struct CameraWindowPicture {
  unsigned id;
  const unsigned char* png;
  size_t size;
};

// The pictures compiled in (bitmaps 6001-6009 and 6016-6019).
const CameraWindowPicture* CameraWindowPictures(size_t* count);

// Registers the template and the pictures with the layer; later calls do nothing.
void RegisterCameraWindowResources();

}  // namespace strenvik
