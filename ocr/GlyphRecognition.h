#pragma once
// What every owner of a recognition engine shares: loading the model with
// its failure report, reading one glyph, and letting the engine go.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

class COCREngine;

// Tells on the standard error stream, in UTF-8, that the model at the path
// (UTF-8 bytes) could not be loaded.
void PrintModelLoadError(const char* modelPath);

// A new engine with the model loaded, owned by the caller; on failure the
// failure text is printed and null returned.
COCREngine* LoadRecognitionEngine(const char* modelPath);
// Unloads, releases and deletes the engine; clears the pointer.
void ReleaseRecognitionEngine(COCREngine*& engine);

// Reads an 8-bit one-channel glyph (non-zero ink): `labels` receives the
// `count` best two-byte labels as one NUL-terminated string and `distances`
// has their distances appended. False (outputs untouched) without an engine
// or when the engine cannot read the glyph.
bool RecognizeGlyphWith(COCREngine* engine, int count, const cv::Mat& glyph, std::string* labels,
                        std::vector<double>* distances);
