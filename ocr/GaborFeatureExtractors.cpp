#include "ocr/GaborFeatureExtractors.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

constexpr int kMaxWavelength = 64;
constexpr int kMaxGaborWavelengths = 32;
constexpr int kOrientations = 4;

// atoi that cannot overflow: digits after an optional sign, clamped.
int ParseNumber(const char* text) {
  errno = 0;
  const long value = std::strtol(text, nullptr, 10);
  return static_cast<int>(std::clamp(value, -1000000L, 1000000L));
}

}  // namespace

bool CGaborFeatureExtractorBase::ParseWavelengths(const std::string& name, int maxCount, std::vector<int>* out) {
  int first = 4, step = 2, last = 8;
  const size_t colon = name.find(':');
  if (name.size() > 4 && colon != std::string::npos) {
    const char* p = name.c_str() + colon + 1;
    first = ParseNumber(p);
    const char* second = std::strchr(p, ':');
    step = second ? ParseNumber(second + 1) : 0;
    const char* third = second ? std::strchr(second + 1, ':') : nullptr;
    last = third ? ParseNumber(third + 1) : 0;
  }
  if (step < 1 || first < 1 || last > kMaxWavelength || first > last) return false;
  if ((last - first) / step + 1 > maxCount) return false;
  out->clear();
  for (int lambda = first; lambda <= last; lambda += step) out->push_back(lambda);
  return true;
}

void CGaborFeatureExtractorBase::MakeKernel(double theta, int lambda, cv::Mat* real, cv::Mat* imaginary) {
  const double sigma = lambda / 2.0;
  const int n = static_cast<int>(4 * sigma + 1), h = n / 2;
  real->create(n, n, CV_32F);
  imaginary->create(n, n, CV_32F);
  const double c = std::cos(theta), s = std::sin(theta);
  for (int r = 0; r < n; ++r)
    for (int col = 0; col < n; ++col) {
      const double y = r - h, x = col - h;
      const double xr = x * c + y * s, yr = -x * s + y * c;
      const double envelope = std::exp(-0.5 * (xr * xr + yr * yr) / (sigma * sigma));
      const double phase = 2 * std::numbers::pi * xr / lambda;
      real->at<float>(r, col) = static_cast<float>(std::cos(phase) * envelope);
      imaginary->at<float>(r, col) = static_cast<float>(std::sin(phase) * envelope);
    }
}

cv::Mat CGaborFeatureExtractorBase::Convolve(const cv::Mat& image, const cv::Mat& kernel) {
  const int M = cv::getOptimalDFTSize(image.rows + kernel.rows - 1);
  const int N = cv::getOptimalDFTSize(image.cols + kernel.cols - 1);
  cv::Mat a(M, N, CV_32F, cv::Scalar(0)), b(M, N, CV_32F, cv::Scalar(0));
  image.copyTo(a(cv::Rect(0, 0, image.cols, image.rows)));
  kernel.copyTo(b(cv::Rect(0, 0, kernel.cols, kernel.rows)));
  cv::dft(a, a, 0, image.rows);
  cv::dft(b, b, 0, kernel.rows);
  cv::Mat product, full;
  cv::mulSpectrums(a, b, product, 0);
  cv::dft(product, full, cv::DFT_INVERSE | cv::DFT_SCALE | cv::DFT_REAL_OUTPUT);
  return full(cv::Rect(kernel.cols / 2, kernel.rows / 2, image.cols, image.rows)).clone();
}

cv::Mat CGaborFeatureExtractorBase::GlyphAsFloat(const OCRMatrix* image) {
  cv::Mat glyph;
  cv::Mat(image->rows, image->cols, CV_8U, image->data).convertTo(glyph, CV_32F);
  return glyph;
}

template <typename Keep>
void CGaborFeatureExtractorBase::Pool(const cv::Mat& v, float spread, Keep keep, float* out) {
  const int zh = v.rows / 8, zw = v.cols / 8;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      const int top = i * zh, bottom = (i + 1) * zh - 1, left = j * zw, right = (j + 1) * zw - 1;
      const float cy = (top + bottom) / 2.0f, cx = (left + right) / 2.0f;
      const int y0 = std::max(0, top - 2), y1 = std::min(v.rows - 1, bottom + 2);
      const int x0 = std::max(0, left - 2), x1 = std::min(v.cols - 1, right + 2);
      float sum = 0.0f;
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
          const float w = std::exp(-((y - cy) * (y - cy) + (x - cx) * (x - cx)) / (2 * spread * spread));
          sum += keep(w * v.at<float>(y, x));
        }
      out[i * 8 + j] = sum;
    }
}

CGaborMagFeatureExtractorImp* CGaborMagFeatureExtractorImp::Create(const std::string& name) {
  std::vector<int> wavelengths;
  if (!ParseWavelengths(name, kMaxGaborWavelengths, &wavelengths)) return nullptr;
  return new CGaborMagFeatureExtractorImp(std::move(wavelengths));
}

cv::Mat CGaborMagFeatureExtractorImp::FilterResponse(const cv::Mat& glyph, double theta, int lambda) {
  cv::Mat real, imaginary;
  MakeKernel(theta, lambda, &real, &imaginary);
  const float sum = static_cast<float>(cv::sum(real)[0]);
  real -= sum;
  cv::Mat magnitude;
  cv::magnitude(Convolve(glyph, real), Convolve(glyph, imaginary), magnitude);
  return magnitude;
}

void CGaborMagFeatureExtractorImp::PoolZones(const cv::Mat& response, float* out) const {
  const float spread = static_cast<float>(std::sqrt(2.0) * (response.rows / zoneRows_) / std::numbers::pi);
  Pool(response, spread, [](float x) { return x; }, out);
}

OCRMatrix* CGaborMagFeatureExtractorImp::Extract(const OCRMatrix* image, int) {
  if (!IsByteImage(image) || image->rows < zoneRows_ || image->cols < zoneCols_) return nullptr;
  OCRMatrixPtr out(CreateMatrix(OCR_FLOAT, 1, 64 * kOrientations * static_cast<int>(wavelengths_.size())));
  if (!out) return nullptr;
  try {
    const cv::Mat glyph = GlyphAsFloat(image);
    float* v = MatrixData<float>(out.get());
    for (int o = 0; o < kOrientations; ++o)
      for (int lambda : wavelengths_) {
        PoolZones(FilterResponse(glyph, o * std::numbers::pi / 4, lambda), v);
        v += 64;
      }
  } catch (const cv::Exception&) {
    return nullptr;
  }
  return out.release();
}

CGaborBFeatureExtractorImp* CGaborBFeatureExtractorImp::Create(const std::string& name) {
  std::vector<int> wavelengths;
  if (!ParseWavelengths(name, kMaxWavelengths, &wavelengths)) return nullptr;
  return new CGaborBFeatureExtractorImp(std::move(wavelengths));
}

cv::Mat CGaborBFeatureExtractorImp::FilterResponse(const cv::Mat& glyph, double theta, int lambda) {
  cv::Mat real, imaginary;
  MakeKernel(theta, lambda, &real, &imaginary);
  return Convolve(glyph, real);
}

void CGaborBFeatureExtractorImp::PoolZonesSigned(const cv::Mat& response, float* positive, float* negative) const {
  const float spread = 3.0f * (response.rows / zoneRows_) / 8.0f;
  Pool(response, spread, [](float x) { return x > 0 ? x : 0.0f; }, positive);
  Pool(response, spread, [](float x) { return x < 0 ? -x : 0.0f; }, negative);
}

OCRMatrix* CGaborBFeatureExtractorImp::Extract(const OCRMatrix* image, int) {
  if (!IsByteImage(image) || image->rows < zoneRows_ || image->cols < zoneCols_) return nullptr;
  OCRMatrixPtr out(CreateMatrix(OCR_FLOAT, 1, kOutputLength));
  if (!out) return nullptr;
  try {
    const cv::Mat glyph = GlyphAsFloat(image);
    float* v = MatrixData<float>(out.get());
    for (int o = 0; o < kOrientations; ++o)
      for (int lambda : wavelengths_) {
        PoolZonesSigned(FilterResponse(glyph, o * std::numbers::pi / 4, lambda), v, v + 64);
        v += 128;
      }
  } catch (const cv::Exception&) {
    return nullptr;
  }
  return out.release();
}
