#include "engine/steprunner.h"
#include "support/errornumber.h"

#include <QTest>

using namespace quillmer;

namespace {

// Steps 1..5 that note their number; the step numbered failAt throws error
// 429 (or the number given), and jumpFrom goes on at jumpTo.
struct Procedure
{
    QList<int> ran;
    QList<qint32> trapped;
    int failAt = 0;
    qint32 failWith = err::CannotCreateObject;
    int jumpFrom = 0, jumpTo = 0;
    int leaveAt = 0;

    std::vector<NumberedStep> steps()
    {
        std::vector<NumberedStep> list;
        for (int n : {1, 2, 3, 4, 5})
            list.push_back({n, [this, n] {
                                ran << n;
                                if (n == failAt)
                                    throw AppError(failWith);
                                if (n == jumpFrom)
                                    return StepFlow::goTo(jumpTo);
                                if (n == leaveAt)
                                    return StepFlow::leave();
                                return StepFlow::next();
                            }});
        return list;
    }
};

} // namespace

class TestStepRunner : public QObject
{
    Q_OBJECT

private slots:
    void flow()
    {
        Procedure p;
        const auto noTrap = [](const AppError&) { return false; };
        QCOMPARE(RunNumberedSteps(p.steps(), noTrap), 0);
        QCOMPARE(p.ran, (QList<int>{1, 2, 3, 4, 5}));

        Procedure jump;
        jump.jumpFrom = 2;
        jump.jumpTo = 5;
        QCOMPARE(RunNumberedSteps(jump.steps(), noTrap), 0);
        QCOMPARE(jump.ran, (QList<int>{1, 2, 5}));

        Procedure leave;
        leave.leaveAt = 3;
        QCOMPARE(RunNumberedSteps(leave.steps(), noTrap), 3);
        QCOMPARE(leave.ran, (QList<int>{1, 2, 3}));

        // A jump backwards, or to a step that does not exist, ends it.
        Procedure back;
        back.jumpFrom = 3;
        back.jumpTo = 1;
        QCOMPARE(RunNumberedSteps(back.steps(), noTrap), 3);
        QCOMPARE(back.ran, (QList<int>{1, 2, 3}));
    }

    // The trap sees the error; true resumes with the step after the failing
    // one, false leaves.
    void trap()
    {
        Procedure resume;
        resume.failAt = 2;
        QCOMPARE(RunNumberedSteps(resume.steps(),
                                  [&](const AppError& e) {
                                      resume.trapped << e.number();
                                      return true;
                                  }),
                 0);
        QCOMPARE(resume.ran, (QList<int>{1, 2, 3, 4, 5}));
        QCOMPARE(resume.trapped, QList<qint32>{429});

        Procedure leave;
        leave.failAt = 4;
        leave.failWith = err::ObjectDefined;
        QCOMPARE(RunNumberedSteps(leave.steps(),
                                  [&](const AppError& e) {
                                      leave.trapped << e.number();
                                      return false;
                                  }),
                 4);
        QCOMPARE(leave.ran, (QList<int>{1, 2, 3, 4}));
        QCOMPARE(leave.trapped, QList<qint32>{1004});
    }

    // What the trap itself raises reaches the caller, and no later step runs.
    void errorInsideTheTrapPassesOn()
    {
        Procedure p;
        p.failAt = 1;
        QCOMPARE(quillmer::test::errorNumber([&] {
                     RunNumberedSteps(p.steps(), [](const AppError&) -> bool {
                         throw AppError(err::ObjectNotSet);
                     });
                 }),
                 err::ObjectNotSet);
        QCOMPARE(p.ran, QList<int>{1});
    }
};

QTEST_GUILESS_MAIN(TestStepRunner)
#include "tst_steprunner.moc"
