// The job-control header in front of the PostScript stream and the trailer after it.
#pragma once

#include <string>

#include "renderer/documentinfo.h"
#include "renderer/rsettings.h"

// Job-control dialects (OEMSupportJCL).
constexpr WORD JCL_NONE = 0;
constexpr WORD JCL_ATTRIBUTE = 1;  // "@" attributes
constexpr WORD JCL_PJL = 2;
constexpr WORD JCL_PJL_JOBATTR = 3;

WORD JclDialect(PrinterDataReader& data);
// Composes the header into *pOut (empty for dialect 0). Fills DocumentInfo items 14, 15 and 19
// on the way; wModelId picks the model library's length limits.
void ComposeJobHeader(DocumentInfo& info, RenderReaders& r, WORD wModelId, WORD wOwnerStringCode, bool bMetafileSpooling,
                      std::string* pOut);
void ComposeJobTrailer(WORD wDialect, std::string* pOut);
