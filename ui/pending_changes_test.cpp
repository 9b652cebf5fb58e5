// Tests of the queue between the setup run and the window: a producer
// waiting for room is released when output is taken or the window detaches.
// Every byte of a flood, in order and cut into pieces of whole characters,
// is tested end to end with the window.
#include <QtTest>

#include <string>
#include <thread>

#include "ui/pending_changes.h"

class tst_PendingChanges : public QObject {
  Q_OBJECT

 private slots:
  void waitingProducerGoesOnOnceOutputIsTakenOrTheWindowDetaches() {
    PendingChanges changes;
    changes.attach([] {});
    changes.addOutput(std::string(100, 'a'));
    std::thread first([&] { changes.addOutputWaiting("b", 10); });
    QCOMPARE(changes.takeBatch(1000), std::vector<WindowChange>{LogText{std::string(100, 'a')}});
    first.join();
    QCOMPARE(changes.takeBatch(1000), std::vector<WindowChange>{LogText{"b"}});
    changes.addOutput(std::string(100, 'c'));
    std::thread second([&] { changes.addOutputWaiting("late", 10); });
    changes.detach();
    second.join();
    changes.addScreen({});
    QVERIFY(changes.takeBatch(1000).empty());
  }
};

QTEST_GUILESS_MAIN(tst_PendingChanges)
#include "pending_changes_test.moc"
