#!/usr/bin/env python3
"""Prints the module's trace lines, in order, from Wine's debug output.

Under WINEDEBUG=+debugstr Wine writes each OutputDebugStringA call on
standard error as a line such as
    0124:warn:debugstr:OutputDebugStringA "C:\\ProgramData\\Velnor\\VLNR.INI"
with the text escaped in C style: backslashes doubled, other bytes as \\xNN.
The texts are in the product's code page 936.
"""
import codecs
import re
import sys

TRACE = re.compile(r'^[0-9a-f]+:[a-z]+:debugstr:OutputDebugStringA "(.*)"(\.\.\.)?$')


def main():
    for raw in sys.stdin.buffer:
        match = TRACE.match(raw.decode('ascii', 'replace').rstrip('\r\n'))
        if not match:
            continue
        text = codecs.escape_decode(match.group(1).encode('ascii'))[0].decode('gbk', 'replace')
        # Wine cuts very long texts and marks the cut with "..." after the quote.
        print(text + ('...' if match.group(2) else ''))


if __name__ == '__main__':
    main()
