// The reference map; the first byte chooses the marker count.
#include "harness.h"
#include "input/reference_panel.h"

SNP_FUZZ(input) {
  const int markers = 1 + input.byte() % 64;
  snp::RunContext ctx;
  ctx.console = &snp::fuzz::null_stream();
  ctx.config.population_marker = markers;
  ctx.config.path_hapmap_datadirectory = snp::fuzz::scratch_dir() + "/";
  ctx.config.path_hapmap_data_mapfile = "panel.map";
  ctx.data.position_SNP.assign(static_cast<size_t>(markers), -1);
  input.file("panel.map");
  snp::read_hapmap_data_SNP_name(ctx);
}
