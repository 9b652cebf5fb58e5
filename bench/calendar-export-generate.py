#!/usr/bin/env python3
"""One calendar export of N events (default 50,000) on standard output, the
shape of a server export or the desktop store's calendar.ics: UTC and zoned
times, a weekly series in every hundred events, attendees in every other."""
import datetime, random, sys
rng = random.Random(7)
now = datetime.datetime(2026, 12, 1)
BERLIN = "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\nBEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
out = ["BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//export//EN\r\n", BERLIN]
n = int(sys.argv[1]) if len(sys.argv) > 1 else 50000
for i in range(n):
    start = now - datetime.timedelta(seconds=rng.randrange(0, 315360000))
    start = start.replace(minute=0, second=0, microsecond=0)
    end = start + datetime.timedelta(minutes=rng.choice([30, 60, 90]))
    f = '%Y%m%dT%H%M%S'
    kind = i % 3
    if kind == 0:
        t = f"DTSTART:{start.strftime(f)}Z\r\nDTEND:{end.strftime(f)}Z\r\n"
    elif kind == 1:
        t = f"DTSTART;TZID=Europe/Berlin:{start.strftime(f)}\r\nDTEND;TZID=Europe/Berlin:{end.strftime(f)}\r\n"
    else:
        t = f"DTSTART;TZID=America/New_York:{start.strftime(f)}\r\nDTEND;TZID=America/New_York:{end.strftime(f)}\r\n"
    rule = "RRULE:FREQ=WEEKLY;COUNT=10\r\n" if i % 100 == 0 else ""
    people = ""
    if i % 2 == 0:
        people = "ORGANIZER;CN=Organizer:mailto:organizer@example.com\r\n" + "".join(f"ATTENDEE;CN=Person {k};PARTSTAT=ACCEPTED:mailto:person{i % 97}.{k}@example.com\r\n" for k in range(3))
    out.append(f"BEGIN:VEVENT\r\nUID:event-{i}@export.example\r\nDTSTAMP:20240101T000000Z\r\nSUMMARY:Meeting number {i} about topic {rng.randrange(1000)}\r\n{t}{rule}{people}END:VEVENT\r\n")
out.append("END:VCALENDAR\r\n")
sys.stdout.write("".join(out))
