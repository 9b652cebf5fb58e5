// Tests of the log's text and rows: every byte kept up to the capacity, rows
// cut at line feeds and at the pane's width, and the oldest rows dropped past
// the capacity without losing the row index.
#include <QtTest>

#include <string>
#include <vector>

#include "ui/log_buffer.h"

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
};

QTEST_GUILESS_MAIN(tst_LogBuffer)
#include "log_buffer_test.moc"
