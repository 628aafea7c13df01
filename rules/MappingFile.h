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
/// Further limits of a mapping file, far above what a person writes by hand or in the program; a text
/// beyond any of them is refused whole before it is parsed, and the writer refuses to write one.
inline constexpr int kMaxMappings = 10000;
inline constexpr int kMaxConditionsPerMapping = 64;
inline constexpr int kMaxConditions = 40000;
/// Elements of any name, so that unknown elements cost no more than rules.
inline constexpr int kMaxMappingFileElements = 250000;
inline constexpr int kMaxAttributesPerElement = 64;
/// Characters of one attribute value, name, comment or run of text between elements.
inline constexpr int kMaxMappingTextLength = 10000;

/// Replaces the file atomically with the model's text. False when `model` is null, the model's text is
/// beyond a limit above, or the file cannot be written; an existing file is then left as it was, and
/// `reason` (when given) says why in words for the user.
bool saveMappingFile(const QString& fileName, const SenMappingModel* model, QString* reason = nullptr);

/// Adds the file's mappings to `model` (the caller empties it first) and sets its name. False when
/// `model` is null, the file cannot be read, or its text is not a mapping file, with `reason` (when
/// given) saying why; mappings and conditions that cannot be read are skipped and the rest is still loaded.
bool loadMappingFile(const QString& fileName, SenMappingModel* model, QString* reason = nullptr);

/// The whole text of a model, ending with a line feed; empty for a null model.
QString modelToXml(const SenMappingModel* model, int level);
/// One condition element at `level` (4 spaces each), without a final line feed; empty for null.
QString conditionToXml(const SenStateCondition* condition, int level);

/// Why the reader would refuse `text` before parsing it (beyond a limit above, a document type
/// declaration, nesting deeper than kMaxMappingFileDepth, not well-formed), or empty when it would not.
/// Takes time linear in the text's length.
QString mappingTextProblem(const QString& text);

/// Adds the mappings of `text` to `model`. False, with the model unchanged, when the text is not a
/// mapping file: mappingTextProblem finds a problem, or the root has another name.
bool parseModelXml(const QString& text, SenMappingModel* model, QString* reason = nullptr);
/// Reads one SenStateCondition element with exactly four child elements into `condition`.
bool parseCondition(const QDomNode& node, SenStateCondition* condition);
