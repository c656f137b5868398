#pragma once
// The updater window's arithmetic and texts, kept free of windows so tests can call them.
#include <cstdint>

#include "util/text.h"

namespace updater {

constexpr int kRowPitch = 24;
constexpr int kFirstRowTop = 16;

// Outer window height for rowCount rows: (rowCount - 1) * 24 + 104.
int WindowHeight(int rowCount);
// Top of row i, counted from 1: (i - 1) * 24 + 16.
int RowTop(int row);
// The name label of a row: the file name before its first "." followed by "：".
Text NameLabel(const Text& fileName);

// The divisor that keeps a progress bar's range within 32 bits.
std::int64_t ProgressScale(std::int64_t total);

// "R/T" with each count in megabytes to one decimal ("5.5MB"); a count that is zero, or
// that rounds to zero megabytes, is given in bytes ("0B", "512B").
Text SizeText(std::int64_t bytes);
Text SizeLabel(std::int64_t received, std::int64_t total);

// The size label of a row whose download failed.
extern const char* const kFailedLabel;

}  // namespace updater
