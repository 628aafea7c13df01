#include <QSignalSpy>
#include <QStringList>

#include <gtest/gtest.h>

#include "SenMappingModel.h"

namespace {

// Every signal of the model, in the order it arrived.
class SignalLog
{
public:
    explicit SignalLog(SenMappingModel& model)
    {
        auto log1 = [this](const char* name) { return [this, name](int a) { add(name, {a}); }; };
        auto log2 = [this](const char* name) { return [this, name](int a, int b) { add(name, {a, b}); }; };
        QObject::connect(&model, &SenMappingModel::mappingAdded, log1("mappingAdded"));
        QObject::connect(&model, &SenMappingModel::mappingChanged, log1("mappingChanged"));
        QObject::connect(&model, &SenMappingModel::mappingRemoved, log1("mappingRemoved"));
        QObject::connect(&model, &SenMappingModel::mappingSwapped, log2("mappingSwapped"));
        QObject::connect(&model, &SenMappingModel::mappingCleared, [this] { add("mappingCleared", {}); });
        QObject::connect(&model, &SenMappingModel::conditionAdded, log2("conditionAdded"));
        QObject::connect(&model, &SenMappingModel::conditionChanged, log2("conditionChanged"));
        QObject::connect(&model, &SenMappingModel::conditionRemoved, log2("conditionRemoved"));
        QObject::connect(&model, &SenMappingModel::conditionCleared, log1("conditionCleared"));
        QObject::connect(&model, &SenMappingModel::modelEdited, [this] { add("modelEdited", {}); });
    }

    QStringList take() { return std::exchange(m_entries, {}); }

private:
    void add(const char* name, std::initializer_list<int> args)
    {
        QStringList parts;
        for (int a : args) {
            parts.append(QString::number(a));
        }
        m_entries.append(QStringLiteral("%1(%2)").arg(QLatin1String(name), parts.join(QLatin1Char(','))));
    }

    QStringList m_entries;
};

SenMapping named(const QString& name)
{
    return SenMapping(name, nullptr);
}

} // namespace

TEST(SenMappingModel, MappingOperationsEmitInOrder)
{
    SenMappingModel model(QStringLiteral("file.skm"), nullptr);
    SignalLog log(model);

    model.removeMapping(-1);
    EXPECT_EQ(log.take(), (QStringList{"mappingCleared()", "modelEdited()"})) << "empty model";

    model.addMapping(named("a"));
    EXPECT_EQ(log.take(), (QStringList{"mappingAdded(0)", "modelEdited()"}));
    model.addMapping(named("b"));
    model.addMapping(named("c"));
    log.take();

    model.removeMapping(-1);
    model.removeMapping(3);
    EXPECT_EQ(log.take(), QStringList{}) << "non-empty model, bad index";

    model.removeMapping(1);
    EXPECT_EQ(log.take(), (QStringList{"mappingRemoved(1)", "modelEdited()"}));
    EXPECT_EQ(model.mapping(1)->name(), QStringLiteral("c"));

    model.removeMapping(0);
    model.removeMapping(0);
    EXPECT_EQ(log.take(), (QStringList{"mappingRemoved(0)", "modelEdited()", "mappingRemoved(0)", "mappingCleared()",
                                       "modelEdited()"}));

    model.addMapping(named("d"));
    log.take();
    model.clearMappings();
    EXPECT_EQ(log.take(), (QStringList{"mappingCleared()", "modelEdited()"}));
    EXPECT_EQ(model.mappingCount(), 0);
    EXPECT_EQ(model.objectName(), QStringLiteral("file.skm"));

    model.addMapping(named("e"));
    log.take();
    model.clear();
    EXPECT_EQ(log.take(), (QStringList{"mappingCleared()", "modelEdited()"}));
    EXPECT_EQ(model.mappingCount(), 0);
    EXPECT_TRUE(model.objectName().isEmpty());

    model.triggerModelEdited();
    EXPECT_EQ(log.take(), (QStringList{"modelEdited()"}));
}

TEST(SenMappingModel, ConditionOperationsEmitInOrder)
{
    SenMappingModel model;
    model.addMapping(named("a"));
    model.addMapping(named("b"));
    SignalLog log(model);
    const SenStateCondition push(SenAction::Push, nullptr);

    model.addCondition(1, push);
    model.addCondition(1, push);
    EXPECT_EQ(log.take(),
              (QStringList{"conditionAdded(1,0)", "modelEdited()", "conditionAdded(1,1)", "modelEdited()"}));

    model.addCondition(5, push);
    model.addCondition(-1, push);
    model.removeCondition(2, 0);
    model.setCondition(2, 0, push);
    EXPECT_EQ(log.take(), QStringList{}) << "mapping index out of range";

    model.removeCondition(0, -1);
    EXPECT_EQ(log.take(), (QStringList{"conditionRemoved(0,-1)", "modelEdited()"}));
    model.setCondition(1, 7, push);
    EXPECT_EQ(log.take(), (QStringList{"conditionChanged(1,7)", "modelEdited()"}));
    EXPECT_EQ(model.mapping(1)->conditionCount(), 2);

    SenStateCondition smile(SenAction::Smile, nullptr);
    smile.setEnabled(false);
    model.setCondition(1, 0, smile);
    EXPECT_EQ(log.take(), (QStringList{"conditionChanged(1,0)", "modelEdited()"}));
    EXPECT_TRUE(model.mapping(1)->condition(0)->hasActionType(SenAction::Smile));
    EXPECT_FALSE(model.mapping(1)->condition(0)->enabled());

    model.removeCondition(1, 0);
    EXPECT_EQ(log.take(), (QStringList{"conditionRemoved(1,0)", "modelEdited()"}));
    EXPECT_EQ(model.mapping(1)->conditionCount(), 1);
    EXPECT_TRUE(model.mapping(1)->condition(0)->hasActionType(SenAction::Push));
}

TEST(SenMappingModel, StoredCopiesAreIndependent)
{
    SenMappingModel model;
    {
        QObject owner;
        auto* mine = new SenMapping(QStringLiteral("mine"), &owner);
        mine->addCondition(SenStateCondition(SenAction::Blink, nullptr));
        model.addMapping(*mine);
        mine->setName(QStringLiteral("changed"));
        mine->condition(0)->setAction(SenAction::Pull);
        mine->setAlreadySent(true);
    } // the caller's parent goes away; the stored copy must survive it
    ASSERT_EQ(model.mappingCount(), 1);
    SenMapping* stored = model.mapping(0);
    EXPECT_EQ(stored->name(), QStringLiteral("mine"));
    EXPECT_EQ(stored->parent(), nullptr);
    EXPECT_TRUE(stored->condition(0)->hasActionType(SenAction::Blink));

    for (int i = 0; i < 50; ++i) {
        model.addMapping(named(QString::number(i)));
    }
    EXPECT_EQ(model.mapping(0), stored) << "pointers stay valid while mappings are added";
    EXPECT_EQ(model.mapping(51), nullptr);
    EXPECT_EQ(model.mapping(-1), nullptr);

    QList<SenMapping> list = model.mappings();
    list[0].setName(QStringLiteral("outside"));
    EXPECT_EQ(stored->name(), QStringLiteral("mine"));
}

TEST(SenMappingModel, SetMappingsReplacesSilently)
{
    SenMappingModel model;
    model.addMapping(named("old"));
    QSignalSpy edited(&model, &SenMappingModel::modelEdited);
    QSignalSpy cleared(&model, &SenMappingModel::mappingCleared);

    QList<SenMapping> list;
    list.append(named("x"));
    list.append(named("y"));
    ASSERT_TRUE(model.setProperty("mappings", QVariant::fromValue(list)));
    EXPECT_EQ(edited.count(), 0);
    EXPECT_EQ(cleared.count(), 0);
    ASSERT_EQ(model.mappingCount(), 2);
    EXPECT_EQ(model.mapping(1)->name(), QStringLiteral("y"));
    EXPECT_EQ(model.property("mappings").value<QList<SenMapping>>().size(), 2);
}

TEST(SenMappingModel, MappingsLeavingTheModelAreHandedToTheReleaseHandler)
{
    SenMappingModel model;
    QStringList released;
    model.setReleaseHandler([&released](const SenMapping& m) { released.append(m.name()); });
    for (const char* name : {"a", "b", "c", "d"}) {
        model.addMapping(named(name));
    }
    model.removeMapping(1);
    model.removeMapping(9);
    EXPECT_EQ(released, (QStringList{"b"}));
    model.setMappings({named("e")});
    EXPECT_EQ(released, (QStringList{"b", "a", "c", "d"}));
    model.clearMappings();
    EXPECT_EQ(released, (QStringList{"b", "a", "c", "d", "e"}));
    model.addMapping(named("f"));
    model.clear();
    EXPECT_EQ(released.last(), QStringLiteral("f"));
}
