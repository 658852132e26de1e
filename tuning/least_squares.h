#pragma once

#include <functional>
#include <vector>

// Levenberg–Marquardt for a few parameters and many residuals, with box bounds and a
// forward-difference Jacobian. Small and dependency-free: the fits here have at most
// five parameters.
struct LeastSquaresResult {
    std::vector<double> p;
    double ssr = 0;              // sum of squared residuals at p
    std::vector<double> stddev;  // 1σ of each parameter from the Jacobian; empty if singular
    int iterations = 0;
};

struct LeastSquaresProblem {
    // Fills r (already sized to the residual count) for the parameters p.
    std::function<void(const std::vector<double>& p, std::vector<double>& r)> residuals;
    int count = 0;
    std::vector<double> lower;
    std::vector<double> upper;
    std::vector<double> step;  // finite-difference step per parameter
};

LeastSquaresResult levenberg_marquardt(const LeastSquaresProblem& problem,
                                       std::vector<double> start, int max_iterations = 100);

// Solves the small symmetric system a x = b in place (Gaussian elimination with partial
// pivoting); false when singular.
bool solve_small(std::vector<double> a, std::vector<double>& b, int m);
