#pragma once
// Training of the recognition model from measured glyph features: a
// discriminant projection, then MQDF classes or nearest templates, written
// as a model file the engine loads with the places of the glyphs on a line.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

// Regularised linear discriminant projection: `dims` rows of 512 doubles
// that spread the classes apart against their own scatter.
cv::Mat TrainProjection(const cv::Mat& features, const std::vector<int>& classes, int classCount, int dims,
                        double regularisation, int threads);
// features (N x 512, CV_32F) times the projection's transpose: N x dims doubles.
cv::Mat Project(const cv::Mat& features, const cv::Mat& projection);

struct MQDFClass {
  cv::Mat mean;                     // dims x 1 doubles
  cv::Mat eigenvectors;             // k x dims doubles, orthonormal rows
  std::vector<double> eigenvalues;  // k values, never below the shared minor value
};
// Where each class's glyphs lie on a line, six values a class in the order
// of GlyphGeometry's table: the samples' places (PrintedGlyph) measured
// against the mean box of their font's Chinese glyphs, the first
// `chineseClasses` classes.
std::vector<double> MeasureGeometry(const cv::Mat& places, const std::vector<int>& classes,
                                    const std::vector<int>& fonts, int classCount, int chineseClasses);

struct MQDFModel {
  cv::Mat projection;
  std::vector<double> geometry;  // per class, as MeasureGeometry gives it
  std::vector<MQDFClass> classes;
  double minor = 1.0;  // the variance shared by the minor directions
  double scale = 1.0;  // distances are scale x the discriminant
};
// Class means and principal directions in the projected space.
MQDFModel TrainMQDF(const cv::Mat& projected, const std::vector<int>& classes, int classCount, int eigenvectors);
// The unscaled discriminant of one projected sample (1 x dims) for a class;
// never negative.
double Discriminant(const MQDFModel& model, const MQDFClass& c, const double* sample);

// Writes the model ("NEW:RLDA_PLUS_MQDF", LN, GRA, L2); labels parallel to
// the classes. False when the file cannot be written whole.
bool WriteMQDFModel(const std::string& path, const MQDFModel& model, const std::vector<std::string>& labels);

// Nearest templates under cosine distance: unit-length means of the
// projected, unit-length features, per class and group of fonts.
struct TemplateModel {
  cv::Mat projection;
  std::vector<double> geometry;  // per class, as MeasureGeometry gives it
  std::vector<cv::Mat> templates;  // dims x 1 doubles
  std::vector<int> classes;
};
// With a projection, the distances are drawn toward 0 until the median
// distance of a sample to its own class's nearest template is
// `medianDistance` (0: left as they are).
TemplateModel TrainTemplates(const cv::Mat& features, const std::vector<int>& classes, const std::vector<int>& groups,
                             int classCount, int dims, double regularisation, int threads, double medianDistance = 0.0);
bool WriteTemplateModel(const std::string& path, const TemplateModel& model, const std::vector<std::string>& labels);
