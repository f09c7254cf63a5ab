#include "source/source_facts.h"

namespace quillon {

namespace {

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string SourceContainerLabel(const SourceFacts& facts) {
  switch (facts.container) {
    case SourceContainer::None:
      return {};
    case SourceContainer::Ewf:
      return "E01, " + Counted(facts.files, "segment", "segments");
    case SourceContainer::Ewf2:
      return "Ex01, " + Counted(facts.files, "segment", "segments");
    case SourceContainer::SplitRaw:
      return "split raw, " + Counted(facts.files, "piece", "pieces");
    case SourceContainer::Vmdk:
      return "VMDK";
    case SourceContainer::Vhd:
      return "VHD";
    case SourceContainer::Vhdx:
      return "VHDX";
  }
  return {};
}

}  // namespace quillon
