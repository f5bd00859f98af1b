#pragma once
// A small complex number and the in-place radix-2 FFT of the spectral features.
#include <cmath>

template <typename T>
class CComplex {
 public:
  CComplex() = default;
  CComplex(T re, T im) : re_(re), im_(im) {}
  virtual ~CComplex() = default;
  CComplex(const CComplex&) = default;
  CComplex& operator=(const CComplex&) = default;

  T Re() const { return re_; }
  T Im() const { return im_; }
  CComplex& operator+=(const CComplex& o) {
    re_ += o.re_;
    im_ += o.im_;
    return *this;
  }
  CComplex& operator*=(const CComplex& o) { return *this = *this * o; }
  CComplex operator-(const CComplex& o) const { return CComplex(re_ - o.re_, im_ - o.im_); }
  CComplex operator*(const CComplex& o) const {
    return CComplex(re_ * o.re_ - im_ * o.im_, re_ * o.im_ + im_ * o.re_);
  }
  T Magnitude() const { return std::sqrt(re_ * re_ + im_ * im_); }

 private:
  T re_ = 0;
  T im_ = 0;
};

// Forward transform sum x_j e^(-2 pi i jk / n), unscaled, in place; false
// (data untouched) unless n is a power of two.
bool FFT(CComplex<float>* data, int n);
