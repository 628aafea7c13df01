// The mapping file reader, and what senkey-run --check prints, on arbitrary text. Whatever it accepts must survive a
// save and a load unchanged: writing the model, reading that text back and writing again gives the same text.

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "MappingFile.h"
#include "MappingSummary.h"
#include "SenMappingModel.h"

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// A broken property names its line before the fuzzer records the input.
void require(bool condition, int line = __builtin_LINE())
{
    if (!condition) {
        std::fprintf(stderr, "property broken at line %d\n", line);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    SenMappingModel model;
    if (!parseModelXml(text, &model)) {
        require(model.mappingCount() == 0);
        return 0;
    }
    // What --check shows for a file it has never seen must always be printable.
    (void)describeMappings(model);
    const QString written = modelToXml(&model, 0);
    // Escaping can make a text longer than the limit it kept when read; saving refuses such a text.
    if (!mappingTextProblem(written).isEmpty()) {
        return 0;
    }
    SenMappingModel reread;
    require(parseModelXml(written, &reread));
    require(reread.mappingCount() == model.mappingCount());
    require(reread.objectName() == model.objectName());
    require(modelToXml(&reread, 0) == written);
    return 0;
}
