// Tests of the queue between the setup run and the window: order, every
// byte kept, pieces cut only between characters, one wake per batch, and a
// detached window dropping output and releasing a waiting producer.
#include <QtTest>

#include <string>
#include <string_view>
#include <thread>

#include "base/utf8_text.h"
#include "ui/pending_changes.h"

namespace {

std::vector<WindowChange> takeAll(PendingChanges& changes) {
  std::vector<WindowChange> all, batch;
  while (!(batch = changes.takeBatch(PendingChanges::kPieceBytes)).empty())
    all.insert(all.end(), batch.begin(), batch.end());
  return all;
}

}  // namespace

class tst_PendingChanges : public QObject {
  Q_OBJECT

 private slots:
  void keepsCallOrderAcrossKinds() {
    PendingChanges changes;
    changes.attach([] {});
    const Screen one{"one", "", std::nullopt, false, false}, two{"two", "", {}, true, true};
    changes.addScreen(one);
    changes.addOutput("a");
    changes.addOutput("b");
    changes.addScreen(two);
    changes.addOutput("");  // kept: an empty piece still reveals the log
    changes.addSetupEnded(3);
    QCOMPARE(takeAll(changes),
             (std::vector<WindowChange>{one, LogText{"ab"}, two, LogText{""}, SetupEnded{3}}));
  }

  void cutsOnlyBetweenCharacters() {
    struct Case { std::size_t maxBytes; std::string_view text; std::size_t expected; };
    // Whole text, inside a three-byte character, under the first character, after one.
    const Case cases[] = {{10, "abc", 3}, {3, "a\xe2\x82\xac", 1}, {3, "\xf0\x9f\x98\x80z", 4},
                          {5, "\xf0\x9f\x98\x80zz", 5}};
    for (const Case& c : cases)
      QVERIFY2(utf8PrefixLength(c.text, c.maxBytes) == c.expected,
               (std::to_string(c.maxBytes) + " bytes of " + std::string(c.text)).c_str());
  }

  void keepsEveryByteOfLargeOutputInValidPieces() {
    PendingChanges changes;
    changes.attach([] {});
    // Pieces of odd sizes full of multi-byte characters, so merging and
    // cutting fall inside characters unless they take care.
    std::string expected, joined;
    for (int i = 0; i < 4000; ++i) {
      const std::string piece = std::to_string(i) + " \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 " +
                                std::string(i % 97 ? 0 : 150000, 'x');
      expected += piece;
      changes.addOutput(piece);
    }
    for (const WindowChange& change : takeAll(changes)) {
      const std::string& text = std::get<LogText>(change).text;
      QVERIFY2(text.size() <= PendingChanges::kPieceBytes && isValidUtf8(text),
               ("bad piece at byte " + std::to_string(joined.size())).c_str());
      joined += text;
    }
    QVERIFY(joined == expected);
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

  void waitingProducerGoesOnOnceOutputIsTakenOrTheWindowDetaches() {
    PendingChanges changes;
    changes.attach([] {});
    changes.addOutput(std::string(100, 'a'));
    std::thread first([&] { changes.addOutputWaiting("b", 10); });
    QTest::qWait(20);  // over the limit: "b" waits until the output is taken
    QCOMPARE(changes.takeBatch(1000), std::vector<WindowChange>{LogText{std::string(100, 'a')}});
    first.join();
    QCOMPARE(changes.takeBatch(1000), std::vector<WindowChange>{LogText{"b"}});

    changes.addOutput(std::string(100, 'c'));
    std::thread second([&] { changes.addOutputWaiting("late", 10); });
    QTest::qWait(20);  // waiting again when the window detaches
    changes.detach();
    second.join();
    changes.addScreen({});
    changes.addSetupEnded(0);
    QVERIFY(changes.takeBatch(1000).empty());
  }
};

QTEST_GUILESS_MAIN(tst_PendingChanges)
#include "pending_changes_test.moc"
