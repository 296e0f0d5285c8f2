// Numerical routines of the calibration tools: a square linear solver by
// Gauss-Jordan elimination with full pivoting, a least-squares polynomial fit
// with its correlation, a power law fitted through logarithms and the slope of
// a line through a fixed point.
//
// The routines keep no state and touch only their arguments. Every failure is
// an EMathError (core/Errors.h) carrying one of these messages:
//   "PolyFit called with less than one term"
//   "PolyFit called with less than two points"
//   "Error in GaussJordan2: matrix is singular"   (a column pivoted twice)
//   "Error in GaussJordan: matrix is singular"    (final check)
// PowerLawFit and AnchoredSlopeFit raise EMathError with their own messages
// for a logarithm of a value that is not positive and a zero denominator.
// A span shorter than the counts passed with it is a caller's mistake and
// throws std::out_of_range before anything is written.
#pragma once

#include <span>
#include <vector>

// A square matrix indexed [row][column].
using TMatrix = std::vector<std::vector<double>>;

// Solves A·X = B for n unknowns. On return X holds the solution and A the
// inverse of the matrix passed in. There is no tolerance: only an element
// that is exactly 0 is never taken as a pivot. A singular matrix throws
// EMathError; X is then not written and A is left partly eliminated. An
// all-zero matrix (no pivot at the first step) reports "Error in
// GaussJordan: matrix is singular", the message of a column never pivoted.
void GaussJordan(TMatrix& a, std::span<const double> b, std::span<double> x, int n);

// Least-squares polynomial Coef[0] + Coef[1]·x + … + Coef[numTerms−1]·x^(numTerms−1)
// through the points (X[i], Y[i]), i < numPoints. Writes only the first
// numTerms entries of `coef`. `correlation` is the square root of the
// coefficient of determination (1 when all Y are equal, 0 when the fit is no
// better than their mean). Throws EMathError for numTerms < 1 (checked
// first), numPoints < 2 and a singular normal matrix; nothing is written then.
void PolyFit(std::span<const double> x, std::span<const double> y, std::span<double> coef,
             double& correlation, int numPoints, int numTerms);

inline constexpr int PowerLawMaxPoints = 33;

// Y ≈ A·X^B fitted as a straight line through (ln X, ln Y); count at most 33.
// A value of X or Y that is not positive throws EMathError; so does a fit
// that PolyFit refuses. `a` and `b` are written only on success.
void PowerLawFit(std::span<const double> x, std::span<const double> y, int count, float& a,
                 float& b);

// The slope of the line y = y0 + Slope·(x − x0) through the fixed point
// (x0, y0) that fits the points best. Throws EMathError when the denominator
// Σ(X[i] − x0)² is 0 (count ≤ 0, or every X equals x0); `slope` is then unchanged.
void AnchoredSlopeFit(std::span<const double> x, std::span<const double> y, int count, double x0,
                      double y0, float& slope);
