#pragma once
// Image files by wide path, JPEG files with quality and resolution, and JPEG
// decoding from memory. Images are 8-bit, one channel (grey) or three (B, G, R).
#include <string>

#include <opencv2/core.hpp>

#include "imaging/ReplacingFile.h"

// Reads a picture file through the guarded loader (PictureFile.h), always as
// three channels B, G, R (pixels as stored, no EXIF turn). Empty for a null
// or too long path and for a file the loader refuses.
cv::Mat ReadImageW(const wchar_t* path);

// Writes an image in the format of the file extension with OpenCV's default
// settings. False for a null or too long path, or when the file cannot be
// written; an existing file of that name survives a failed write. With
// kFreeName a file that is there by then is kept and the image goes under
// the first free "<stem>_<n>" name. *placedPath (when given) receives where
// the file went.
bool WriteImageW(const wchar_t* path, cv::Mat image, std::string* placedPath = nullptr,
                 vq::CReplacingFile::Placing placing = vq::CReplacingFile::Placing::kReplace);

// Writes a baseline JPEG with the given quality and a JFIF density in dots per
// inch. One-channel images become greyscale files, three-channel ones colour
// files. On success *savedPath (when given) receives the narrow path it went
// to (placed as WriteImageW places it). False for any other image, a path
// that does not fit or cannot be written, or a failed write; an existing
// file of that name is then left as it was.
bool SaveJpeg(const wchar_t* path, const cv::Mat& image, std::string* savedPath, short xDpi, short yDpi,
              int quality, vq::CReplacingFile::Placing placing = vq::CReplacingFile::Placing::kReplace);

// Decodes a JPEG held in memory: one channel for a greyscale JPEG, three
// channels B, G, R for a colour one. Empty for corrupt or truncated data, for
// other colour spaces (CMYK) and for pictures of more than 100 million pixels.
cv::Mat DecodeJpeg(const unsigned char* data, int size);
