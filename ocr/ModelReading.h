#pragma once
// Reading helpers shared by the classifiers' model loaders: every record is
// checked for type, size and values before it is used.
#include <functional>
#include <string>

#include "ocr/FileOperator.h"
#include "ocr/OCRMatrix.h"

// Opens a model file and runs read over it. False when the file cannot be
// opened, when read fails or when memory runs out while reading.
bool ReadModelFile(const char* modelPath, const std::function<bool(CFileOperator&)>& read);
// The next record, or null at the end.
OCRMatrixPtr NextRecord(CFileOperator& file);
// A text record of at most maxLength bytes: its text; false otherwise.
bool ReadName(const OCRMatrix* record, size_t maxLength, std::string* name);
// Turns a numeric record into doubles; false unless it has known elements, all finite.
bool MakeFiniteDoubles(OCRMatrixPtr& record);
// Gives a double record the shape rows x cols when it holds that many elements.
bool FitShape(OCRMatrix* record, int rows, int cols);
