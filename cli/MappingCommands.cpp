#include "MappingCommands.h"

#include <QFileInfo>

#include "MappingFile.h"
#include "MappingSummary.h"
#include "PlatformFactory.h"
#include "SenMappingModel.h"

namespace {

bool loadOrExplain(const QString& fileName, SenMappingModel& model, std::FILE* err)
{
    const QFileInfo info(fileName);
    if (!info.exists()) {
        std::fprintf(err, "senkey-run: %s: no such file\n", qUtf8Printable(fileName));
        return false;
    }
    if (!info.isFile() || !info.isReadable()) {
        std::fprintf(err, "senkey-run: %s: cannot be read\n", qUtf8Printable(fileName));
        return false;
    }
    if (!loadMappingFile(fileName, &model)) {
        std::fprintf(err, "senkey-run: %s is not a mapping file\n", qUtf8Printable(fileName));
        return false;
    }
    return true;
}

} // namespace

int checkMappings(const QString& fileName, std::FILE* out, std::FILE* err)
{
    SenMappingModel model;
    if (!loadOrExplain(fileName, model, err)) {
        return ExitUsage;
    }
    const bool focusKnown = createFocusTracker()->isAvailable();
    std::fputs(qUtf8Printable(describeMappings(model, focusKnown)), out);
    std::fflush(out);
    return ExitOk;
}

int writeMappings(const QString& fileName, const QString& outFile, std::FILE* err)
{
    SenMappingModel model;
    if (!loadOrExplain(fileName, model, err)) {
        return ExitUsage;
    }
    if (!saveMappingFile(outFile, &model)) {
        std::fprintf(err, "senkey-run: cannot write %s\n", qUtf8Printable(outFile));
        return ExitFailure;
    }
    return ExitOk;
}
