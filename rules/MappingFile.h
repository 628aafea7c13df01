#pragma once
// Reading and writing mapping files (".skm"): XML text in the system locale's encoding, root
// SenMappingModel, one SenMapping element per mapping, one SenStateCondition element per condition.

#include <QString>

class QDomNode;
class SenMappingModel;
class SenStateCondition;

/// Texts larger than this are refused before any parsing.
inline constexpr qsizetype kMaxMappingFileSize = qsizetype{16} * 1024 * 1024;
/// Element nesting deeper than this is refused before any parsing.
inline constexpr int kMaxMappingFileDepth = 64;

/// Replaces the file atomically with the model's text. False when `model` is null or the file cannot be
/// written; an existing file is then left as it was.
bool saveMappingFile(const QString& fileName, const SenMappingModel* model);

/// Adds the file's mappings to `model` (the caller empties it first) and sets its name. False when
/// `model` is null, the file cannot be read, or its text is not a mapping file; mappings and conditions
/// that cannot be read are skipped and the rest is still loaded.
bool loadMappingFile(const QString& fileName, SenMappingModel* model);

/// The whole text of a model, ending with a line feed; empty for a null model.
QString modelToXml(const SenMappingModel* model, int level);
/// One condition element at `level` (4 spaces each), without a final line feed; empty for null.
QString conditionToXml(const SenStateCondition* condition, int level);

/// Adds the mappings of `text` to `model`. False, with the model unchanged, when the text is not a
/// mapping file: not well-formed XML, a document type declaration, nesting deeper than
/// kMaxMappingFileDepth, more than kMaxMappingFileSize characters, or a root of another name.
bool parseModelXml(const QString& text, SenMappingModel* model);
/// Reads one SenStateCondition element with exactly four child elements into `condition`.
bool parseCondition(const QDomNode& node, SenStateCondition* condition);
