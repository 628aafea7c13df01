#include "MappingCommands.h"

#include <QFileInfo>

#include "MappingFile.h"
#include "MappingSummary.h"
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
    QString reason;
    if (!loadMappingFile(fileName, &model, &reason)) {
        std::fprintf(err, "senkey-run: %s cannot be loaded: %s\n", qUtf8Printable(fileName), qUtf8Printable(reason));
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
    std::fputs(qUtf8Printable(describeMappings(model)), out);
    std::fflush(out);
    return ExitOk;
}

int writeMappings(const QString& fileName, const QString& outFile, std::FILE* err)
{
    SenMappingModel model;
    if (!loadOrExplain(fileName, model, err)) {
        return ExitUsage;
    }
    QString reason;
    if (!saveMappingFile(outFile, &model, &reason)) {
        std::fprintf(err, "senkey-run: cannot write %s: %s\n", qUtf8Printable(outFile), qUtf8Printable(reason));
        return ExitFailure;
    }
    return ExitOk;
}
