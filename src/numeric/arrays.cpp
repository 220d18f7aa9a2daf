#include "numeric/arrays.h"

namespace snp {

void nrerror(const std::string& message) { throw AllocationError(message); }

DoubleMatrix matrix(int nrl, int nrh, int ncl, int nch) { return DoubleMatrix(nrl, nrh, ncl, nch); }
CharMatrix cmatrix(int nrl, int nrh, int ncl, int nch) { return CharMatrix(nrl, nrh, ncl, nch); }
IntMatrix imatrix(int nrl, int nrh, int ncl, int nch) { return IntMatrix(nrl, nrh, ncl, nch); }
DoubleVector dvector(int nl, int nh) { return DoubleVector(nl, nh, "allocation failure in dvector()"); }
IntVector ivector(int nl, int nh) { return IntVector(nl, nh, "allocation failure in ivector()"); }

void free_matrix(DoubleMatrix& m, int, int, int, int) { m.release(); }
void free_cmatrix(CharMatrix& m, int, int, int, int) { m.release(); }
void free_imatrix(IntMatrix& m, int, int, int, int) { m.release(); }

namespace {
template <class V>
void free_vector(V& v, const char* name) {
  if (!v.allocated())
    throw FatalError(std::string("Error: ") + name + " called on a vector that holds no memory\n",
                     Channel::standard_error);
  v.release();
}
}  // namespace

void free_dvector(DoubleVector& v, int, int) { free_vector(v, "free_dvector"); }
void free_ivector(IntVector& v, int, int) { free_vector(v, "free_ivector"); }

}  // namespace snp
