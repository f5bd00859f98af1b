#pragma once
// Small conversions shared by the application's windows: wide text to the
// ANSI code page, pictures of the image class to OpenCV matrices, two
// images stacked, the program's own module and the file-prefix list.
#include <vector>

#include <opencv2/core.hpp>

#include "platform/mfc/CImage.h"
#include "platform/mfc/CString.h"

// Bytes written including the terminator; 0 when the text does not fit or
// cannot be converted.
int WideToAnsi(const wchar_t* text, char* buffer, int bufferSize);

// 24-bit pictures give three channels (blue, green, red), 8 and 1-bit
// pictures one grey channel through their colour table (so black ink stays
// black whatever the index order); other depths or an empty picture give an
// empty matrix. Row 0 is always the picture's top row.
cv::Mat ImageToMat(CImage& picture);

// A picture file as three channels; empty when it cannot be loaded.
cv::Mat LoadImageAsMat(const wchar_t* path);

// `upper` above `lower`, as wide as the wider one, the rest of narrower rows
// white. Empty when either is empty or their channel counts differ from
// `matrixType`'s.
cv::Mat StackImagesVertically(const cv::Mat& lower, const cv::Mat& upper, int matrixType);

// The module that holds the program's code; null when it cannot be found.
HMODULE GetThisModuleHandle();

// Appends the pieces of a '|'-separated list; stops at the first empty piece
// and then returns false.
bool SplitPrefixList(const CString& list, std::vector<CString>* out);
