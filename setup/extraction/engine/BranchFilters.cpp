// Registers the branch-call filters for PowerPC, Itanium, ARM, ARM Thumb and
// SPARC executables under their engine names and method ids. It takes the
// place of the engine's own registration unit, which also adds ARM64 and
// RISC-V: the stub decodes only the methods it is built for.

#include <Common/Common.h>

#include <7zip/Common/RegisterCodec.h>
#include <7zip/Compress/BranchMisc.h>

namespace {

using NCompress::NBranch::CCoder;

#define SETUPSFX_BRANCH_DECODER(conv) \
  REGISTER_FILTER_CREATE(Create_##conv, CCoder(Z7_BRANCH_CONV_DEC_2(conv)))

SETUPSFX_BRANCH_DECODER(BranchConv_PPC)
SETUPSFX_BRANCH_DECODER(BranchConv_IA64)
SETUPSFX_BRANCH_DECODER(BranchConv_ARM)
SETUPSFX_BRANCH_DECODER(BranchConv_ARMT)
SETUPSFX_BRANCH_DECODER(BranchConv_SPARC)

// Extract-only: no encoder factories.
REGISTER_CODECS_VAR
{
  REGISTER_FILTER_ITEM(Create_BranchConv_PPC, nullptr, 0x3030205, "PPC"),
  REGISTER_FILTER_ITEM(Create_BranchConv_IA64, nullptr, 0x3030401, "IA64"),
  REGISTER_FILTER_ITEM(Create_BranchConv_ARM, nullptr, 0x3030501, "ARM"),
  REGISTER_FILTER_ITEM(Create_BranchConv_ARMT, nullptr, 0x3030701, "ARMT"),
  REGISTER_FILTER_ITEM(Create_BranchConv_SPARC, nullptr, 0x3030805, "SPARC")
};

REGISTER_CODECS(BranchFilters)

}  // namespace
