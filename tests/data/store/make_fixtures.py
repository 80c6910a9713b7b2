#!/usr/bin/env python3
"""Writes the store's byte-exact fixtures next to this script.

Chinese text is encoded with Python's "gbk" codec, which is code page 936 apart from the euro sign (0x80,
written in hex here); the few bytes that matter most are spelled out in hex. Run it again after changing a fixture here.
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
CRLF = b"\r\n"


def cp936(text):
    return text.encode("gbk")


def lines(*records):
    """Each record followed by CR LF, nothing after the last."""
    return b"".join(cp936(r) + CRLF for r in records)


FIXTURES = {
    # The three-line example of the timed lyrics file.
    "example.txt": lines('"未知","未知",3,"未知","D:\\MP3\\a.MP3","未知","未知"',
                         '85,"（开始）"', '312,"（长时间停顿 ）"', '2401,"（结束）"'),
    # Header spread over lines (line ends in place of commas: CR LF, lone LF, lone CR), a line record joined
    # to the next by a comma, blanks around fields.
    "header_split.txt": cp936('"专辑"\r\n"歌手"\r\n2,"作曲"\r\n"D:\\歌\\b.MP3"\n"歌名","作词"\r'
                              '10,"一",  20 ,  "二"\r\n'),
    # Commas inside quotes, leading and trailing blanks inside quotes, an empty text, junk after a quote.
    "commas.txt": lines('"a,b","",3,"","",",","x"', '5,"你好，世界, hello"', '6,"  两边有空格  "',
                        '0,""junk'),
    "zero_lines.txt": lines('"专辑","歌手",0,"作曲","E:\\a.mp3","歌名","作词"'),
    "more_records.txt": lines('"A","S",2,"C","P","T","L"', '1,"一"', '2,"二"', '3,"三"'),
    "fewer_records.txt": lines('"A","S",3,"C","P","T","L"', '11,"一"', '22,"二"'),
    "limits.txt": lines('"A","S",4,"C","P","T","L"', '32767,"max"', '-32768,"min"', '0,"zero"', '-0,"z"'),
    "count_too_big.txt": lines('"A","S",32768,"C","P","T","L"'),
    "count_negative.txt": lines('"A","S",-1,"C","P","T","L"'),
    "time_too_big.txt": lines('"A","S",2,"C","P","T","L"', '1,"一"', '32768,"二"'),
    "time_too_small.txt": lines('"A","S",1,"C","P","T","L"', '-32769,"一"'),
    "time_garbage.txt": lines('"A","S",1,"C","P","T","L"', '12a,"一"'),
    "unclosed_quote.txt": lines('"A","S",1,"C","P","T","L"') + cp936('1,"never closed'),
    # 0x80 and A2 E3 both read as the euro sign.
    "euro.txt": lines('"A","S",1,"C","P","T","L"') + b'1,"\x80 \xa2\xe3"' + CRLF,
    # A line break inside a quoted text belongs to the text.
    "linebreak.txt": lines('"A","S",2,"C","P","T","L"') + b'7,"first' + CRLF + b'second"' + CRLF +
                     b'8,"x"' + CRLF,
    # Bytes that start no valid character: 0xFF alone, a lead byte before a comma, a cut-off lead at the end.
    "invalid_bytes.txt": b'"\xff","\x81",1,"C","P","T","L"' + CRLF + b'1,"ok"' + CRLF + b'\x81',
    # Association records.
    "assoc_cp936.txt": lines('2', '"D:\\音乐\\月亮.MP3","D:\\歌词\\月亮.TXT"') +
                       cp936('"E:\\歌\\a,b.mp3","E:\\歌\\') + b'\x80.TXT"' + CRLF,
    "assoc_zero.txt": lines('0'),
    "assoc_negative.txt": lines('-2', '"a","b"'),
    "assoc_short.txt": lines('3', '"a","b"', '"c","d"'),
    "assoc_garbage.txt": lines('two', '"a","b"', '"c","d"'),
    "assoc_extra.txt": lines('1', '"a","b"', '"c","d"'),
    "assoc_too_big.txt": lines('32768', '"a","b"'),
    # The lyric text file: B 今天 P E, then CR LF.
    "text_bpe.txt": b"B\xbd\xf1\xcc\xecPE\r\n",
    "empty.txt": b"",
}


def main():
    for name, data in FIXTURES.items():
        (HERE / name).write_bytes(data)


if __name__ == "__main__":
    main()
