// Example peak list files for examples/: lines a NaI laboratory evaluates.
#pragma once

#include <QString>

// Writes "Natural.gpl" (K-40, the Ra-226 and Th-232 chains and Cs-137) and
// "Doublets.gpl" (lines close enough to overlap in a NaI spectrum) into
// `directory`. Names, energies and emission probabilities are those of
// examples/NaI_Library.txt. Throws std::runtime_error naming the file when
// one cannot be written; a failed write leaves any earlier file intact.
void WriteExamplePeakLists(const QString& directory);
