// Tests of the log's text and rows: every byte kept up to the capacity, rows
// cut at line feeds and at the pane's width, and the oldest rows dropped past
// the capacity without losing the row index. Then a selection (LogSelection)
// on those rows, each byte drawn one unit wide so that a point inside a
// character of several bytes lies nearer to one of its bytes than to its
// edges: ends fall on whole characters, the selected bytes are those written,
// and the selection goes once the log drops any of its text.
#include <QtTest>

#include <string>
#include <vector>

#include "ui/log_buffer.h"
#include "ui/log_selection.h"

class tst_LogBuffer : public QObject {
  Q_OBJECT

 private slots:
  void cutsRowsAtLineFeedsAndTheWidth() {
    struct Case { std::vector<std::string> pieces; std::string rows; };
    // Four columns; a tab reaches the next multiple of 8, so it fills a row.
    const Case cases[] = {{{"ab\ncd"}, "ab|cd|"}, {{"abcde", "fghi"}, "abcd|efgh|i|"},
                          {{"abcd", "\nef\n"}, "abcd|ef|"}, {{"\n\n", "\r\n"}, "||\r|"},
                          {{"a\tb"}, "a|\t|b|"},
                          {{"\xc3\xa9\xc3\xa9\xc3\xa9", "\xf0\x9f\x98\x80\xc3\xa9z"},
                           "\xc3\xa9\xc3\xa9\xc3\xa9\xf0\x9f\x98\x80|\xc3\xa9z|"}};
    for (const Case& c : cases) {
      LogBuffer log(1000, 4);
      std::string all, rows;
      for (const std::string& piece : c.pieces) log.append(piece), all += piece;
      for (const LogRow& row : log.rows(0, 100)) rows += row.text + "|";
      QVERIFY2(rows == c.rows && log.text() == all, (all + " gave " + rows).c_str());
    }
  }

  void keepsTheNewestRowsWithinItsCapacity() {
    LogBuffer log(1000, 80);
    std::string all;
    for (int i = 0; i < 5000; ++i) {
      const std::string line = "line " + std::to_string(i) + "\n";
      log.append(line);
      all += line;
    }
    const std::string kept = log.text();
    QVERIFY2(kept.size() <= 1000 && kept.size() > 1000 - 11, std::to_string(kept.size()).c_str());
    QVERIFY(all.ends_with(kept) && kept.starts_with("line "));
    // Rows past the dropped checkpoints are found again, each a whole line.
    const std::vector<LogRow> rows = log.rows(0, 5000);
    QCOMPARE(rows.size(), static_cast<std::size_t>(log.rowCount()));
    QCOMPARE(kept.substr(0, kept.find('\n')), rows.front().text);
    QCOMPARE(rows.back().text, std::string("line 4999"));
    QCOMPARE(log.rows(70, 1).front().text, rows[70].text);
  }

  void selectsWholeCharactersUntilItsTextIsDropped() {
    // A drag from (toRow, toX) back to (row, x); where both are one point, a double-click there.
    struct Case { std::string log, later, selected; int row; double x; int toRow; double toX; };
    const Case cases[] = {
        {"caf\xc3\xa9 \xf0\x9f\x98\x80 z", "", "\xc3\xa9 \xf0\x9f\x98\x80", 0, 3.9, 0, 8.1},
        {"ab\tcd\r\nxy", "", "\tcd\r\nx", 0, 3.4, 1, 1},
        {"x na\xc3\xafve_x-ray", "", "na\xc3\xafve_x", 0, 4.5, 0, 4.5},
        {"first\nsecond\n", "xyz\n", "second", 1, 0, 1, 6},
        {"first\nsecond\n", "xyz\n", "", 0, 3, 1, 3}};
    const auto width = [](std::string_view s) { return 1.0 * LogBuffer::withTabsExpanded(s).size(); };
    for (const Case& c : cases) {
      LogBuffer log(16, 12);
      log.append(c.log);
      const auto row = [&](int index) { return log.rows(index, 1).front(); };
      LogSelection selection;
      selection.start(LogSelection::offsetAt(row(c.toRow), c.toX, width));
      selection.extendTo(LogSelection::offsetAt(row(c.row), c.x, width));
      if (c.row == c.toRow && c.x == c.toX) selection.selectWordAt(row(c.row), c.x, width);
      log.append(c.later);
      selection.keepWithin(log);
      QVERIFY2(selection.text(log) == c.selected, (c.log + " gave " + selection.text(log)).c_str());
    }
  }
};

QTEST_GUILESS_MAIN(tst_LogBuffer)
#include "log_buffer_test.moc"
