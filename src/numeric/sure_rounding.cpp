#include "numeric/sure_rounding.h"

#include "numeric/dispatch.h"

namespace velmora {

namespace {

inline __attribute__((always_inline)) void SureReal48ColumnBody(const double* __restrict v,
                                                                const double* __restrict err,
                                                                double* __restrict out,
                                                                double* __restrict sure, int n) {
    for (int i = 0; i < n; ++i) {
        double r = 0;
        sure[i] = SureReal48Lane(v[i], err[i], r) ? 1.0 : 0.0;
        out[i] = r;
    }
}

VELMORA_VECTOR_KERNEL(void, SureReal48ColumnLoop, SureReal48ColumnBody,
                      (const double* v, const double* err, double* out, double* sure, int n),
                      (v, err, out, sure, n))

} // namespace

void SureReal48Column(const double* v, const double* err, double* out, double* sure, int n) {
    SureReal48ColumnLoop(v, err, out, sure, n);
}

} // namespace velmora
