// Random data source: fills the panel, the study matrix and the marker maps
// with random values of the configured shapes, in place of the data files.
#pragma once

#include "model/run_data.h"

namespace snp {

int randomdata(RunContext& ctx);

}  // namespace snp
