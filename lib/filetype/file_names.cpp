// The public list of the file's names, taken from the file-type model.
#include "kavro/file_names.h"

#include <array>

#include "filetype/file_type_model.h"
#include "kavro/params.h"

namespace kavro {
namespace {

using namespace layout;

constexpr std::array<std::string_view, 33> kGlobalAttributes = {
    kVersionAtt, kExecIdAtt, kFtypeAtt,   kCdateAtt,    kCtimeAtt,  kWdateAtt, kWtimeAtt,
    kSdateAtt,   kStimeAtt,  kTstepAtt,   kNthikAtt,    kNcolsAtt,  kNrowsAtt, kNlaysAtt,
    kNvarsAtt,   kGdtypAtt,  kPalpAtt,    kPbetAtt,     kPgamAtt,   kXcentAtt, kYcentAtt,
    kXorigAtt,   kYorigAtt,  kXcellAtt,   kYcellAtt,    kVgtypAtt,  kVgtopAtt, kVglvlsAtt,
    kGdnamAtt,   kUpnamAtt,  kVarListAtt, kFiledescAtt, kHistoryAtt};

constexpr FileNames kNames = {
    .global_attributes = kGlobalAttributes,
    .tstep_dim = kTstepDim,
    .lay_dim = kLayDim,
    .row_dim = kRowDim,
    .col_dim = kColDim,
    .var_dim = kVarDim,
    .date_time_dim = kDateTimeDim,
    .tflag_var = kTflagVar,
    .tflag_units = kTflagUnits,
    .tflag_desc = kTflagDesc,
    .long_name_att = kLongNameAtt,
    .units_att = kUnitsAtt,
    .var_desc_att = kVarDescAtt,
    .line_length = MXDLEN3,
};

}  // namespace

const FileNames& file_names() noexcept { return kNames; }

}  // namespace kavro
