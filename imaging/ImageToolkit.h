#pragma once
// An empty object that callers construct around their calls into the image
// module's free functions; it holds nothing and does nothing.
class CImageToolkit {
 public:
  CImageToolkit() = default;
  ~CImageToolkit() = default;
};
