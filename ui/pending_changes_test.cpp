// Tests of the queue between the setup run and the window: order, every
// byte kept, pieces cut only between characters, one wake per batch, and a
// detached window dropping output and releasing a waiting producer.
#include <QtTest>

#include <atomic>
#include <string>
#include <thread>

#include "ui/pending_changes.h"

namespace {

std::string joinedOutput(const std::vector<WindowChange>& batch) {
  std::string joined;
  for (const WindowChange& change : batch)
    if (const auto* log = std::get_if<LogText>(&change)) joined += log->text;
  return joined;
}

std::vector<WindowChange> takeAll(PendingChanges& changes) {
  std::vector<WindowChange> all;
  for (;;) {
    auto batch = changes.takeBatch(PendingChanges::kPieceBytes);
    if (batch.empty()) return all;
    for (auto& change : batch) all.push_back(std::move(change));
  }
}

}  // namespace

class tst_PendingChanges : public QObject {
  Q_OBJECT

 private slots:
  void keepsCallOrderAcrossKinds() {
    PendingChanges changes;
    changes.attach([] {});
    const Screen first{"first", "", std::nullopt, false, false};
    const Screen second{"second", "", QStringLiteral("Done"), false, false};
    changes.addScreen(first);
    changes.addOutput("a");
    changes.addOutput("b");
    changes.addScreen(second);
    changes.addOutput("c");
    changes.addSetupEnded(3);
    const std::vector<WindowChange> expected = {first,  LogText{"ab"}, second,
                                                LogText{"c"}, SetupEnded{3}};
    QCOMPARE(takeAll(changes), expected);
  }

  void cutsOnlyBetweenCharacters_data() {
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("fits") << 10 << QByteArray("abc") << 3;
    QTest::newRow("ascii cut") << 2 << QByteArray("abc") << 2;
    QTest::newRow("before two-byte") << 2 << QByteArray("a\xc3\xa9") << 1;
    QTest::newRow("before four-byte") << 3 << QByteArray("\xf0\x9f\x98\x80z") << 4;
    QTest::newRow("after four-byte") << 5 << QByteArray("\xf0\x9f\x98\x80zz") << 5;
    QTest::newRow("inside three-byte") << 2 << QByteArray("a\xe2\x82\xac") << 1;
  }

  void cutsOnlyBetweenCharacters() {
    QFETCH(int, maxBytes);
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    QCOMPARE(utf8PrefixLength(text.toStdString(), static_cast<std::size_t>(maxBytes)),
             static_cast<std::size_t>(expected));
  }

  void keepsEveryByteOfLargeOutputInValidPieces() {
    PendingChanges changes;
    changes.attach([] {});
    std::string expected;
    // Pieces of odd sizes full of multi-byte characters, so merging and
    // cutting fall inside characters unless they take care.
    for (int i = 0; i < 4000; ++i) {
      std::string piece = std::to_string(i) + " \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 ";
      if (i % 97 == 0) piece += std::string(150000, 'x');
      expected += piece;
      changes.addOutput(piece);
    }
    QCOMPARE(changes.outputBytesWaiting(), expected.size());
    const std::vector<WindowChange> all = takeAll(changes);
    for (const WindowChange& change : all) {
      const auto& text = std::get<LogText>(change).text;
      QVERIFY2(text.size() <= PendingChanges::kPieceBytes, std::to_string(text.size()).c_str());
      QVERIFY2(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8() ==
                   QByteArray::fromStdString(text),
               "a piece was cut inside a character");
    }
    QVERIFY(joinedOutput(all) == expected);
    QCOMPARE(changes.outputBytesWaiting(), std::size_t{0});
  }

  void emptyOutputIsKept() {
    PendingChanges changes;
    changes.attach([] {});
    changes.addOutput("");
    const std::vector<WindowChange> expected = {LogText{""}};
    QCOMPARE(takeAll(changes), expected);
  }

  void wakesOncePerBatchAndAgainWhileChangesRemain() {
    PendingChanges changes;
    int wakes = 0;
    changes.attach([&] { ++wakes; });
    changes.addOutput("a");
    changes.addScreen({});
    changes.addOutput(std::string(PendingChanges::kPieceBytes, 'b'));
    QCOMPARE(wakes, 1);
    QCOMPARE(changes.takeBatch(1).size(), std::size_t{1});
    QCOMPARE(wakes, 2);  // more remain: the window is asked for another batch
    QCOMPARE(changes.takeBatch(PendingChanges::kPieceBytes * 4).size(), std::size_t{2});
    QCOMPARE(wakes, 2);
    changes.addSetupEnded(0);
    QCOMPARE(wakes, 3);
  }

  void detachedWindowDropsChangesAndReleasesWaitingProducer() {
    PendingChanges changes;
    changes.attach([] {});
    changes.addOutput(std::string(100, 'a'));
    std::atomic<bool> returned{false};
    std::thread producer([&] {
      changes.addOutputWaiting("late", 10);
      returned = true;
    });
    QTest::qWait(20);  // the producer must still be waiting: over the limit
    QVERIFY(!returned);
    changes.detach();
    producer.join();
    QVERIFY(returned);
    changes.addScreen({});
    changes.addSetupEnded(0);
    QVERIFY(changes.takeBatch(1000).empty());
  }

  void waitingProducerGoesOnOnceOutputIsTaken() {
    PendingChanges changes;
    changes.attach([] {});
    changes.addOutput(std::string(100, 'a'));
    std::thread producer([&] { changes.addOutputWaiting("b", 10); });
    QCOMPARE(joinedOutput(changes.takeBatch(1000)), std::string(100, 'a'));
    producer.join();
    QCOMPARE(joinedOutput(changes.takeBatch(1000)), std::string("b"));
  }
};

QTEST_GUILESS_MAIN(tst_PendingChanges)
#include "pending_changes_test.moc"
