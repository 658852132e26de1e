#include "tuning/least_squares.h"

#include <algorithm>
#include <cmath>

bool solve_small(std::vector<double> a, std::vector<double>& b, int m) {
    const auto at = [m](int r, int c) { return std::size_t(r * m + c); };
    for (int col = 0; col < m; ++col) {
        int piv = col;
        for (int r = col + 1; r < m; ++r)
            if (std::fabs(a[at(r, col)]) > std::fabs(a[at(piv, col)])) piv = r;
        if (!(std::fabs(a[at(piv, col)]) > 1e-300)) return false;
        if (piv != col) {
            for (int c = 0; c < m; ++c) std::swap(a[at(col, c)], a[at(piv, c)]);
            std::swap(b[std::size_t(col)], b[std::size_t(piv)]);
        }
        for (int r = col + 1; r < m; ++r) {
            const double f = a[at(r, col)] / a[at(col, col)];
            if (f == 0) continue;
            for (int c = col; c < m; ++c) a[at(r, c)] -= f * a[at(col, c)];
            b[std::size_t(r)] -= f * b[std::size_t(col)];
        }
    }
    for (int r = m - 1; r >= 0; --r) {
        double s = b[std::size_t(r)];
        for (int c = r + 1; c < m; ++c) s -= a[at(r, c)] * b[std::size_t(c)];
        b[std::size_t(r)] = s / a[at(r, r)];
    }
    return true;
}

namespace {

double sum_squares(const std::vector<double>& r) {
    double s = 0;
    for (double v : r) s += v * v;
    return std::isfinite(s) ? s : HUGE_VAL;
}

void clamp_to(std::vector<double>& p, const LeastSquaresProblem& pr) {
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = std::clamp(p[i], pr.lower[i], pr.upper[i]);
}

// J^T J and J^T r with a forward-difference Jacobian at p.
void normal_equations(const LeastSquaresProblem& pr, const std::vector<double>& p,
                      const std::vector<double>& r, std::vector<double>& jtj,
                      std::vector<double>& jtr, std::vector<double>& scratch,
                      std::vector<std::vector<double>>& jac) {
    const std::size_t m = p.size();
    for (std::size_t i = 0; i < m; ++i) {
        std::vector<double> q = p;
        double h = pr.step[i];
        // Step away from an upper bound rather than across it.
        if (q[i] + h > pr.upper[i]) h = -h;
        q[i] += h;
        pr.residuals(q, scratch);
        auto& col = jac[i];
        col.resize(r.size());
        for (std::size_t k = 0; k < r.size(); ++k) col[k] = (scratch[k] - r[k]) / h;
    }
    jtj.assign(m * m, 0.0);
    jtr.assign(m, 0.0);
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = i; j < m; ++j) {
            double s = 0;
            for (std::size_t k = 0; k < r.size(); ++k) s += jac[i][k] * jac[j][k];
            jtj[i * m + j] = jtj[j * m + i] = s;
        }
        double s = 0;
        for (std::size_t k = 0; k < r.size(); ++k) s += jac[i][k] * r[k];
        jtr[i] = s;
    }
}

}  // namespace

LeastSquaresResult levenberg_marquardt(const LeastSquaresProblem& pr, std::vector<double> p,
                                       int max_iterations) {
    const std::size_t m = p.size();
    const int mi = static_cast<int>(m);
    clamp_to(p, pr);
    std::vector<double> r(std::size_t(pr.count)), trial_r(r.size()), scratch(r.size());
    std::vector<std::vector<double>> jac(m);
    pr.residuals(p, r);
    double ssr = sum_squares(r);
    double lambda = 1e-3;
    std::vector<double> jtj, jtr;
    LeastSquaresResult out;
    int it = 0;
    for (; it < max_iterations; ++it) {
        normal_equations(pr, p, r, jtj, jtr, scratch, jac);
        bool improved = false;
        for (int tries = 0; tries < 12 && !improved; ++tries) {
            std::vector<double> a = jtj;
            for (std::size_t i = 0; i < m; ++i)
                a[i * m + i] += lambda * std::max(jtj[i * m + i], 1e-12);
            std::vector<double> delta(m);
            for (std::size_t i = 0; i < m; ++i) delta[i] = -jtr[i];
            if (!solve_small(a, delta, mi)) {
                lambda *= 10;
                continue;
            }
            std::vector<double> q = p;
            for (std::size_t i = 0; i < m; ++i) q[i] += delta[i];
            clamp_to(q, pr);
            pr.residuals(q, trial_r);
            const double trial = sum_squares(trial_r);
            if (trial < ssr) {
                const double gain = ssr - trial;
                p = q;
                r.swap(trial_r);
                ssr = trial;
                lambda = std::max(lambda / 10, 1e-9);
                improved = true;
                // Converged when a step no longer buys anything worth another Jacobian.
                bool tiny = true;
                for (std::size_t i = 0; i < m; ++i)
                    if (std::fabs(delta[i]) > 1e-6 * (std::fabs(p[i]) + pr.step[i])) tiny = false;
                if (gain <= 1e-8 * ssr || tiny) it = max_iterations;
            } else {
                lambda *= 10;
            }
        }
        if (!improved) break;
    }
    out.iterations = it;
    out.p = p;
    out.ssr = ssr;
    // Covariance s^2 (J^T J)^-1 at the optimum.
    normal_equations(pr, p, r, jtj, jtr, scratch, jac);
    const double dof = double(pr.count) - double(m);
    if (dof > 0) {
        const double s2 = ssr / dof;
        out.stddev.resize(m);
        for (std::size_t i = 0; i < m; ++i) {
            std::vector<double> e(m, 0.0);
            e[i] = 1.0;
            if (!solve_small(jtj, e, mi)) {
                out.stddev.clear();
                break;
            }
            out.stddev[i] = std::sqrt(std::max(e[i] * s2, 0.0));
        }
    }
    return out;
}
