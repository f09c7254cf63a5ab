// The byte runs of a saved mail: where each byte of its file lies in the source, exactly, so that
// a report reader can take the file's bytes back from the source by the runs alone.
#pragma once

#include <string_view>
#include <vector>

#include "output/report_records.h"
#include "scan/text_origin.h"
#include "source/data_source.h"

namespace quillon {

// The runs of `text` (a mail's text as the re-reader gave it, with `origin`): the pieces of the
// origin checked against the source's bytes. Bytes the source holds as they stand in the text
// become source runs (merged where they follow on in both); bytes that differ (unreadable
// sectors saved as zeros, control bytes saved as blanks) and bytes the source cannot give become
// fill runs of their one byte value. Together the runs cover the text, in file order.
std::vector<ByteRun> TraceByteRuns(std::string_view text, const TextOrigin& origin,
                                   DataSource& source);

}  // namespace quillon
