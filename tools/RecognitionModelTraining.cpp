#include "tools/RecognitionModelTraining.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <thread>

#include "ocr/FileOperator.h"
#include "ocr/GlyphGeometry.h"

namespace {

cv::Mat ClassMeans(const cv::Mat& samples, const std::vector<int>& classes, int classCount, std::vector<int>* counts) {
  cv::Mat means = cv::Mat::zeros(classCount, samples.cols, CV_64F);
  counts->assign(static_cast<size_t>(classCount), 0);
  cv::Mat row;
  for (int i = 0; i < samples.rows; ++i) {
    samples.row(i).convertTo(row, CV_64F);
    means.row(classes[i]) += row;
    ++(*counts)[classes[i]];
  }
  for (int c = 0; c < classCount; ++c)
    if ((*counts)[c] > 0) means.row(c) /= (*counts)[c];
  return means;
}

// rows^T rows in doubles, the rows shared out among threads.
cv::Mat Scatter(const cv::Mat& rows, int threads) {
  std::vector<cv::Mat> parts(static_cast<size_t>(threads));
  std::vector<std::thread> pool;
  const int step = (rows.rows + threads - 1) / threads;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&, t] {
      const cv::Mat chunk = rows.rowRange(std::min(rows.rows, t * step), std::min(rows.rows, (t + 1) * step));
      cv::Mat part;
      if (chunk.rows > 0) cv::gemm(chunk, chunk, 1.0, cv::noArray(), 0.0, part, cv::GEMM_1_T);
      if (!part.empty()) part.convertTo(parts[t], CV_64F);
    });
  for (auto& thread : pool) thread.join();
  cv::Mat sum = cv::Mat::zeros(rows.cols, rows.cols, CV_64F);
  for (const cv::Mat& part : parts)
    if (!part.empty()) sum += part;
  return sum;
}

// Unit-length rows (all-zero rows stay).
cv::Mat UnitRows(const cv::Mat& samples) {
  cv::Mat unit;
  samples.convertTo(unit, CV_32F);
  for (int i = 0; i < unit.rows; ++i) {
    const double length = cv::norm(unit.row(i));
    if (length > 1e-12) unit.row(i) /= length;
  }
  return unit;
}

bool WriteDoubles(CFileOperator& file, const cv::Mat& m) {
  OCRMatrixPtr record(CreateMatrix(OCR_DOUBLE, m.rows, m.cols));
  if (!record) return false;
  cv::Mat contiguous;
  m.convertTo(contiguous, CV_64F);
  std::copy(contiguous.ptr<double>(), contiguous.ptr<double>() + m.total(), MatrixData<double>(record.get()));
  return file.WriteRecord(record.get()) == 0;
}

bool WriteScalar(CFileOperator& file, double value) { return WriteDoubles(file, cv::Mat(1, 1, CV_64F, &value)); }

// The classes' places after their labels, when the model has them.
bool WriteGeometry(CFileOperator& file, const std::vector<double>& geometry, const std::vector<std::string>& labels) {
  if (geometry.empty()) return true;
  if (geometry.size() != labels.size() * GlyphGeometry::kColumns) return false;
  std::string joined;
  for (const std::string& label : labels) joined += label;
  return GlyphGeometry::Write(file, joined, geometry.data()) == 0;
}

// Spreads below this (in glyph boxes) are rounding, not the character.
constexpr double kLeastSpread = 0.03;

}  // namespace

std::vector<double> MeasureGeometry(const cv::Mat& places, const std::vector<int>& classes,
                                    const std::vector<int>& fonts, int classCount, int chineseClasses) {
  // Each font's box: the mean top and bottom of its Chinese glyphs.
  std::map<int, cv::Vec3d> box;  // top sum, bottom sum, count
  for (int i = 0; i < places.rows; ++i)
    if (classes[i] < chineseClasses) {
      const cv::Vec3f& p = places.at<cv::Vec3f>(i);
      box[fonts[i]] += cv::Vec3d(p[0], p[1], 1.0);
    }
  // Per class: sums of the three values and of their squares.
  std::vector<cv::Vec<double, 7>> sums(static_cast<size_t>(classCount));
  for (int i = 0; i < places.rows; ++i) {
    const auto found = box.find(fonts[i]);
    if (found == box.end()) continue;
    const double top = found->second[0] / found->second[2], bottom = found->second[1] / found->second[2];
    const double height = bottom - top;
    if (height <= 0.0) continue;
    const cv::Vec3f& p = places.at<cv::Vec3f>(i);
    const double v[3] = {(p[0] - top) / height, (p[1] - top) / height, p[2] / height};
    cv::Vec<double, 7>& s = sums[classes[i]];
    for (int k = 0; k < 3; ++k) {
      s[2 * k] += v[k];
      s[2 * k + 1] += v[k] * v[k];
    }
    s[6] += 1.0;
  }
  // A class without samples: a whole glyph box.
  const double unknown[3] = {0.0, 1.0, 1.0};
  std::vector<double> geometry;
  for (const auto& s : sums)
    for (int k = 0; k < 3; ++k) {
      const double n = std::max(s[6], 1.0), mean = s[2 * k] / n;
      geometry.push_back(s[6] > 0 ? mean : unknown[k]);
      geometry.push_back(std::max(kLeastSpread, std::sqrt(std::max(0.0, s[2 * k + 1] / n - mean * mean))));
    }
  return geometry;
}

cv::Mat TrainProjection(const cv::Mat& features, const std::vector<int>& classes, int classCount, int dims,
                        double regularisation, int threads) {
  std::vector<int> counts;
  const cv::Mat means = ClassMeans(features, classes, classCount, &counts);
  cv::Mat centred(features.size(), CV_32F);
  for (int i = 0; i < features.rows; ++i) {
    cv::Mat mean;
    means.row(classes[i]).convertTo(mean, CV_32F);
    centred.row(i) = features.row(i) - mean;
  }
  cv::Mat within = Scatter(centred, threads) / features.rows;
  within += cv::Mat::eye(within.size(), CV_64F) * (regularisation * cv::trace(within)[0] / within.rows);

  cv::Mat globalMean;
  cv::reduce(means, globalMean, 0, cv::REDUCE_AVG);
  cv::Mat spread = means - cv::repeat(globalMean, means.rows, 1);
  cv::Mat between;
  cv::mulTransposed(spread, between, true);
  between /= means.rows;

  // Whiten the within-class scatter, then take the leading directions of the
  // whitened between-class scatter.
  cv::Mat values, vectors;
  cv::eigen(within, values, vectors);
  cv::Mat whitening = vectors.t();
  for (int i = 0; i < whitening.cols; ++i) whitening.col(i) /= std::sqrt(std::max(values.at<double>(i), 1e-12));
  const cv::Mat whiteBetween = whitening.t() * between * whitening;
  cv::Mat bValues, bVectors;
  cv::eigen(whiteBetween, bValues, bVectors);
  return bVectors.rowRange(0, dims) * whitening.t();
}

cv::Mat Project(const cv::Mat& features, const cv::Mat& projection) {
  cv::Mat samples;
  features.convertTo(samples, CV_64F);
  cv::Mat projected;
  cv::gemm(samples, projection, 1.0, cv::noArray(), 0.0, projected, cv::GEMM_2_T);
  return projected;
}

MQDFModel TrainMQDF(const cv::Mat& projected, const std::vector<int>& classes, int classCount, int eigenvectors) {
  MQDFModel model;
  std::vector<std::vector<int>> members(static_cast<size_t>(classCount));
  for (int i = 0; i < projected.rows; ++i) members[classes[i]].push_back(i);
  const int dims = projected.cols;
  double minorSum = 0.0;
  int minorCount = 0;
  model.classes.resize(static_cast<size_t>(classCount));
  for (int c = 0; c < classCount; ++c) {
    MQDFClass& entry = model.classes[c];
    const std::vector<int>& rows = members[c];
    entry.mean = cv::Mat::zeros(dims, 1, CV_64F);
    if (rows.empty()) continue;
    cv::Mat block(static_cast<int>(rows.size()), dims, CV_64F);
    for (size_t i = 0; i < rows.size(); ++i) projected.row(rows[i]).copyTo(block.row(static_cast<int>(i)));
    cv::Mat mean;
    cv::reduce(block, mean, 0, cv::REDUCE_AVG);
    entry.mean = mean.t();
    block -= cv::repeat(mean, block.rows, 1);
    // Few samples per class: the principal directions come from the small Gram matrix.
    cv::Mat gram = block * block.t() / block.rows;
    cv::Mat values, vectors;
    cv::eigen(gram, values, vectors);
    const int k = std::min(eigenvectors, block.rows - 1);
    entry.eigenvectors = cv::Mat::zeros(std::max(k, 0), dims, CV_64F);
    double explained = 0.0;
    for (int i = 0; i < k; ++i) {
      cv::Mat direction = vectors.row(i) * block;
      const double length = cv::norm(direction);
      if (length > 1e-12) direction /= length;
      direction.copyTo(entry.eigenvectors.row(i));
      entry.eigenvalues.push_back(values.at<double>(i));
      explained += values.at<double>(i);
    }
    const double total = cv::trace(gram)[0];
    if (dims > k) {
      minorSum += (total - explained) / (dims - k);
      ++minorCount;
    }
  }
  model.minor = minorCount > 0 ? std::max(minorSum / minorCount, 1e-9) : 1.0;
  for (MQDFClass& entry : model.classes)
    for (double& value : entry.eigenvalues) value = std::max(value, model.minor);
  return model;
}

double Discriminant(const MQDFModel& model, const MQDFClass& c, const double* sample) {
  const int dims = c.mean.rows;
  double s = 0.0, t = 0.0, logs = 0.0;
  std::vector<double> delta(static_cast<size_t>(dims));
  for (int j = 0; j < dims; ++j) {
    delta[j] = sample[j] - c.mean.at<double>(j);
    s += delta[j] * delta[j];
  }
  for (int i = 0; i < c.eigenvectors.rows; ++i) {
    const double* v = c.eigenvectors.ptr<double>(i);
    double p = 0.0;
    for (int j = 0; j < dims; ++j) p += v[j] * delta[j];
    t += (model.minor / c.eigenvalues[i] - 1.0) * p * p;
    logs += std::log(c.eigenvalues[i] / model.minor);
  }
  return (s + t) / model.minor + logs;
}

bool WriteMQDFModel(const std::string& path, const MQDFModel& model, const std::vector<std::string>& labels) {
  CCmmFileOperatorImp file;
  if (file.Open(path, true) != 0) return false;
  bool ok = true;
  for (const char* text : {"NEW:RLDA_PLUS_MQDF", "-N", "LN", "-F", "GRA", "-S", "L2", "-TRS"})
    ok = ok && file.WriteString(text) == 0;
  ok = ok && WriteDoubles(file, model.projection) && WriteGeometry(file, model.geometry, labels);
  for (size_t c = 0; c < model.classes.size() && ok; ++c) {
    const MQDFClass& entry = model.classes[c];
    // The engine computes (s + sum w p^2) / divisor + constant.
    cv::Mat weights(1, std::max(1, entry.eigenvectors.rows), CV_64F, cv::Scalar::all(0.0));
    double logs = 0.0;
    for (int i = 0; i < entry.eigenvectors.rows; ++i) {
      weights.at<double>(i) = model.minor / entry.eigenvalues[i] - 1.0;
      logs += std::log(entry.eigenvalues[i] / model.minor);
    }
    ok = file.WriteString(("+" + labels[c]).c_str()) == 0 && WriteDoubles(file, entry.mean) &&
         WriteDoubles(file, entry.eigenvectors.rows > 0 ? entry.eigenvectors : cv::Mat::zeros(0, entry.mean.rows, CV_64F)) &&
         WriteDoubles(file, weights) && WriteScalar(file, model.minor / model.scale) &&
         WriteScalar(file, model.scale * logs);
  }
  file.Close();
  return ok;
}

// Unit-length means of the unit rows per class and group, as rows or columns.
static void AddTemplates(const cv::Mat& unitRows, const std::vector<int>& classes, const std::vector<int>& groups,
                         bool asColumns, TemplateModel* model) {
  std::map<std::pair<int, int>, cv::Mat> sums;
  for (int i = 0; i < unitRows.rows; ++i) {
    cv::Mat& sum = sums[{classes[i], groups[i]}];
    if (sum.empty()) sum = cv::Mat::zeros(1, unitRows.cols, CV_64F);
    cv::Mat row;
    unitRows.row(i).convertTo(row, CV_64F);
    sum += row;
  }
  for (auto& [key, sum] : sums) {
    sum /= std::max(cv::norm(sum), 1e-12);
    model->templates.push_back(asColumns ? cv::Mat(sum.t()) : sum);
    model->classes.push_back(key.first);
  }
}

namespace {

// The median, over every seventh sample, of the cosine distance to the
// nearest template of its own class.
double MedianOwnDistance(const cv::Mat& unitRows, const std::vector<int>& classes, const TemplateModel& model) {
  if (model.classes.empty()) return 0.0;
  std::vector<std::vector<int>> own(*std::max_element(model.classes.begin(), model.classes.end()) + 1);
  for (size_t t = 0; t < model.classes.size(); ++t) own[model.classes[t]].push_back(static_cast<int>(t));
  std::vector<double> distances;
  for (int i = 0; i < unitRows.rows; i += 7) {
    double nearest = 2.0;
    cv::Mat row;
    unitRows.row(i).convertTo(row, CV_64F);
    for (int t : own[classes[i]]) nearest = std::min(nearest, 1.0 - row.dot(model.templates[t].t()));
    distances.push_back(nearest);
  }
  if (distances.empty()) return 0.0;
  std::nth_element(distances.begin(), distances.begin() + distances.size() / 2, distances.end());
  return distances[distances.size() / 2];
}

}  // namespace

TemplateModel TrainTemplates(const cv::Mat& features, const std::vector<int>& classes, const std::vector<int>& groups,
                             int classCount, int dims, double regularisation, int threads, double medianDistance) {
  TemplateModel model;
  const cv::Mat unit = UnitRows(features);
  if (dims == 0) {
    // No projection: templates in the extractor's own shape.
    AddTemplates(unit, classes, groups, false, &model);
    return model;
  }
  cv::Mat projection = TrainProjection(unit, classes, classCount, dims, regularisation, threads);
  // Cosine distances need the features centred; a projection cannot shift,
  // so it drops the direction all glyphs share instead.
  cv::Mat common;
  cv::reduce(unit, common, 0, cv::REDUCE_AVG, CV_64F);
  common /= cv::norm(common);
  projection = projection * (cv::Mat::eye(unit.cols, unit.cols, CV_64F) - common.t() * common);
  // One more row along the common direction, nearly the same share of every
  // glyph, draws all distances toward 0 alike (d / (1 + w^2) for a share w):
  // its weight brings the median own distance to `medianDistance`.
  const cv::Mat spread = Project(unit, projection), along = Project(unit, common);
  auto withWeight = [&](double weight, cv::Mat* rows) {
    cv::Mat joined;
    cv::hconcat(spread, along * weight, joined);
    *rows = UnitRows(joined);
    TemplateModel trial;
    AddTemplates(*rows, classes, groups, true, &trial);
    return trial;
  };
  cv::Mat rows;
  double low = 0.0, high = 0.0;
  model = withWeight(0.0, &rows);
  if (medianDistance > 0.0 && MedianOwnDistance(rows, classes, model) > medianDistance) {
    high = 1.0;
    while (high < 1e3 && MedianOwnDistance(rows, classes, withWeight(high, &rows)) > medianDistance) high *= 2.0;
    for (int step = 0; step < 12; ++step) {
      const double middle = 0.5 * (low + high);
      (MedianOwnDistance(rows, classes, withWeight(middle, &rows)) > medianDistance ? low : high) = middle;
    }
    model = withWeight(high, &rows);
    cv::vconcat(projection, common * high, projection);
  }
  model.projection = projection;
  return model;
}

bool WriteTemplateModel(const std::string& path, const TemplateModel& model, const std::vector<std::string>& labels) {
  CCmmFileOperatorImp file;
  if (file.Open(path, true) != 0) return false;
  bool ok = true;
  for (const char* text : {"NEW", "LN", "GRA", "Cos"}) ok = ok && file.WriteString(text) == 0;
  if (!model.projection.empty()) ok = ok && file.WriteString("TRS") == 0 && WriteDoubles(file, model.projection);
  for (size_t i = 0; i < model.templates.size() && ok; ++i)
    ok = file.WriteString(labels[model.classes[i]].c_str()) == 0 && WriteDoubles(file, model.templates[i]);
  ok = ok && WriteGeometry(file, model.geometry, labels);
  file.Close();
  return ok;
}
