#pragma once
// Letters, digits and signs come out as printed. The model names them by
// their full-width (GBK) forms; a cell's reading becomes the half-width
// ASCII character unless it is a sign standing in a whole glyph box of
// blank, as Chinese text sets its full-width signs. Among half-width
// characters, shapes that letters and digits share ("0" and "O", "1" and
// "l") take the kind of their neighbours.
#include <string>

// The text of a reading: letters and digits as ASCII; a sign with a
// half-width form as ASCII unless `fullBox` (the blank on either side of it
// fills a Chinese glyph box); anything else as the label.
std::string AsPrinted(const std::string& label, bool fullBox);

// A line's GBK text without the runs of bars and ticks ("l", "I", "|", "!",
// "'", ";", "{"...) that stand alone between Chinese characters (or a
// Chinese character and the line's end): strokes of a Chinese glyph read
// apart, not print.
std::string DropStrayStrokes(const std::string& gbk);

// A line's GBK text with a sign at either end that stands beside a Chinese
// character full-width, as Chinese text sets it: only its inner side told
// its width.
std::string SettleLineEnds(const std::string& gbk);

// A line's GBK text with each "0", "O", "o", "1", "l", "I" or "|" among
// half-width characters turned into a digit when its nearest letters or
// digits on either side are digits; when they are letters, a "0", "1" or
// "|" becomes the letter of their case, and "I" and "l" take their case.
// Left as read otherwise; but an "o" after a Chinese character, before
// another or at the line's end, is the full stop "。".
std::string SettleLookalikes(const std::string& gbk);
