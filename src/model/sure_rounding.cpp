#include "model/sure_rounding.h"

#include "model/column_dispatch.h"

namespace velmora {

namespace {

inline __attribute__((always_inline)) void SureReal48ColumnBody(const double* __restrict v,
                                                                 const double* __restrict err,
                                                                 double* __restrict out, double* __restrict sure,
                                                                 int n) {
    for (int i = 0; i < n; ++i) {
        double r = 0;
        sure[i] = SureReal48Lane(v[i], err[i], r) ? 1.0 : 0.0;
        out[i] = r;
    }
}

VELMORA_COLUMN_CLONES void SureReal48ColumnCommon(const double* v, const double* err, double* out, double* sure,
                                                  int n) {
    SureReal48ColumnBody(v, err, out, sure, n);
}
VELMORA_COLUMN_WIDE void SureReal48ColumnWide(const double* v, const double* err, double* out, double* sure,
                                              int n) {
    SureReal48ColumnBody(v, err, out, sure, n);
}

} // namespace

void SureReal48Column(const double* v, const double* err, double* out, double* sure, int n) {
    HasWideVectors() ? SureReal48ColumnWide(v, err, out, sure, n) : SureReal48ColumnCommon(v, err, out, sure, n);
}

} // namespace velmora
