#pragma once
// The pieces of FBP's filter that the fan-beam FBP shares with the parallel one.

#include "tomo/Reconstruction.h"

namespace quarvel::filter {

// The smallest 2^a 3^b 5^c at least twice the bins: a view's length for the FFT.
int PaddedLength(int detectors);
// The discrete ramp kernel at offset n (bins): 1/4 at 0, -1/(pi^2 n^2) at odd n, else 0.
double RampKernel(int n);
// The window's gain at f cycles per bin (0 ... 0.5), zero above the cutoff.
double Window(const TFbpOptions& options, double f);

}  // namespace quarvel::filter
