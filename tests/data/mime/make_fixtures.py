#!/usr/bin/env python3
"""Writes the MIME fixtures of this folder. Run it again after changing it;
the .eml files are committed so tests never depend on Python."""
import base64
import quopri

def b(text, charset):
    return "=?%s?B?%s?=" % (charset, base64.b64encode(text.encode(charset)).decode())

def write(name, text):
    data = text if isinstance(text, bytes) else text.encode("ascii")
    with open(name, "wb") as f:
        f.write(data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))

def write_as_is(name, data):
    """For a fixture whose line ends are what it tests."""
    with open(name, "wb") as f:
        f.write(data)

PNG = base64.b64encode(b"\x89PNG\r\n\x1a\n" + bytes(range(64))).decode()

write("gb2312.eml",
      "From: %s <wang@example.cn>\nTo: sales@example.com\nSubject: %s\nMIME-Version: 1.0\n"
      "Content-Type: text/plain; charset=gb2312\nContent-Transfer-Encoding: base64\n\n%s\n"
      % (b("王经理", "gb2312"), b("询价：不锈钢螺丝", "gb2312"),
         base64.b64encode("您好，请报价一万个不锈钢螺丝。".encode("gb2312")).decode()))

write("gbk.eml",
      "From: buyer@example.cn\nSubject: %s\nMIME-Version: 1.0\n"
      "Content-Type: text/html; charset=\"GBK\"\nContent-Transfer-Encoding: quoted-printable\n\n%s\n"
      % (b("订单确认 (GBK 字符: 镕)", "gbk"),
         quopri.encodestring("<p>订单已确认，朱镕基</p>".encode("gbk")).decode()))

write("big5.eml",
      "From: tw@example.tw\nSubject: %s\nMIME-Version: 1.0\n"
      "Content-Type: text/plain; charset=big5\nContent-Transfer-Encoding: base64\n\n%s\n"
      % (b("報價單", "big5"), base64.b64encode("請參考附件的報價。".encode("big5")).decode()))

write("utf8-webmail.eml",
      "From: =?UTF-8?B?5byg5LiJ?= <zs@example.com>\nSubject: =?UTF-8?B?5Lqn5ZOB5Zu+54mH?=\nMIME-Version: 1.0\n"
      "Content-Type: multipart/alternative; boundary=\"alt\"\n\n"
      "--alt\nContent-Type: text/plain; charset=UTF-8\n\nSee the picture.\n"
      "--alt\nContent-Type: multipart/related; boundary=\"rel\"; type=\"text/html\"\n\n"
      "--rel\nContent-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n%s\n"
      "--rel\nContent-Type: image/png; name=\"p.png\"\nContent-ID: <img001@example.com>\n"
      "Content-Disposition: inline; filename=\"p.png\"\nContent-Transfer-Encoding: base64\n\n%s\n"
      "--rel--\n--alt--\n"
      % (base64.b64encode('<p>产品图片</p><img src="cid:img001@example.com">'.encode()).decode(), PNG))

write("outlook.eml",
      "From: Buyer <b@example.de>\nSubject: Quotation\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"mix\"\n\n"
      "--mix\nContent-Type: multipart/related; boundary=\"rel\"\n\n"
      "--rel\nContent-Type: multipart/alternative; boundary=\"alt\"\n\n"
      "--alt\nContent-Type: text/plain; charset=\"us-ascii\"\n\nPlease quote.\n"
      "--alt\nContent-Type: text/html; charset=\"us-ascii\"\n\n<html><body><img src=\"cid:image001.jpg@01D\"></body></html>\n"
      "--alt--\n"
      "--rel\nContent-Type: image/jpeg; name=\"image001.jpg\"\nContent-ID: <image001.jpg@01D>\n"
      "Content-Transfer-Encoding: base64\n\n/9j/4AAQSkZJRgABAQEAYABgAAD/\n--rel--\n"
      "--mix\nContent-Type: application/vnd.ms-excel\n"
      "Content-Disposition: attachment; filename*=UTF-8''Preisliste%%20%%C3%%A4.xls\n"
      "Content-Transfer-Encoding: base64\n\n%s\n--mix--\n"
      % base64.b64encode(b"\xd0\xcf\x11\xe0 excel").decode())

write("bounce.eml",
      "From: MAILER-DAEMON@example.com\nSubject: Undelivered Mail Returned to Sender\nMIME-Version: 1.0\n"
      "Content-Type: multipart/report; report-type=delivery-status; boundary=\"r\"\n\n"
      "--r\nContent-Type: text/plain\n\nThe mail could not be delivered.\n"
      "--r\nContent-Type: message/delivery-status\n\nReporting-MTA: dns; mx.example.com\n\n"
      "Final-Recipient: rfc822; nobody@example.org\nAction: failed\nStatus: 5.1.1\n"
      "--r\nContent-Type: message/rfc822\n\nFrom: sales@example.com\nSubject: Offer\n\nOur offer.\n"
      "--r--\n")

write("forwarded.eml",
      "From: boss@example.com\nSubject: Fw: Offer\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"f\"\n\n"
      "--f\nContent-Type: text/plain; charset=utf-8\n\nPlease look at this.\n"
      "--f\nContent-Type: message/rfc822\n\nFrom: a@example.com\nSubject: Offer\n"
      "Content-Type: text/plain\n\nInner body.\n--f--\n")

write("broken-boundary.eml",
      "From: x@example.com\nSubject: broken\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"declared\"\n\n"
      "--other\nContent-Type: text/plain\n\nthe boundary never comes\n"
      "--declared\nContent-Type: text/plain\n\nlast part without an end\n")

# The declared boundary never comes: all the text is what GMime keeps as
# the multipart's prologue.
write("boundary-never-comes.eml",
      "From: buyer@example.cn\nSubject: order\nMIME-Version: 1.0\n"
      "Content-Type: multipart/alternative; boundary=\"----=_Part_0_1234.5678\"\n\n".encode()
      + "请发货：A7型，500件。\nPlease send 500 pieces of model A7.\nRegards, Anna\n".encode())

write("8bit-headers.eml",
      b"From: \xcd\xf5\xbe\xad\xc0\xed <wang@example.cn>\r\nSubject: \xd1\xaf\xbc\xdb \xb2\xe2\xca\xd4\r\n"
      b"MIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\nbody\r\n")

write("long-line.eml",
      "From: x@example.com\nSubject: long\nMIME-Version: 1.0\nContent-Type: text/plain\n\n" + "x" * 200000 + "\n")

write("receipt.eml",
      "From: b@example.com\nSubject: =?utf-8?B?5bey6K+75Zue5omn?=\nMIME-Version: 1.0\n"
      "Content-Type: multipart/report; report-type=disposition-notification; boundary=\"m\"\n\n"
      "--m\nContent-Type: text/plain\n\nYour mail was displayed.\n"
      "--m\nContent-Type: message/disposition-notification\n\nReporting-UA: wmsvr\n"
      "Final-Recipient:rfc822;b@example.com\nOriginal-Message-ID:<0123@example.com>\n"
      "Disposition:manual-action/MDN-sent-manually;displayed\n--m--\n")

# A forwarded message kept as an attachment, with what writing it again
# would change: CRLF line ends, a header without a blank after its colon,
# a binary part holding bare LF, CR and NUL bytes, a prologue and an
# epilogue; another attachment follows it.
write_as_is("forwarded-as-written.eml",
      b"From: boss@example.com\r\nSubject: Fw: Offer 2027\r\nMIME-Version: 1.0\r\n"
      b"Content-Type: multipart/mixed; boundary=\"f\"\r\n\r\n"
      b"--f\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nSee the offer below.\r\n"
      b"--f\r\nContent-Type: message/rfc822\r\nContent-Disposition: attachment\r\n\r\n"
      b"From: =?UTF-8?B?5byg5LiJ?= <zhang@example.com>\r\nTo: boss@example.com\r\nSubject:Offer 2027\r\n"
      b"Received: from mx.example.com\r\n\tby relay.example.net; Tue, 1 Dec 2026 10:00:00 +0800\r\n"
      b"MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n boundary=\"in\"\r\n\r\n"
      b"This is a multi-part message in MIME format.\r\n\r\n"
      b"--in\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
      + "价格见附件。".encode() + b"\r\n\r\n"
      b"--in\r\nContent-Type: application/octet-stream; name=\"prices.bin\"\r\n"
      b"Content-Transfer-Encoding: binary\r\n\r\n\x00\x01bare LF\nbare CR\rCRLF\r\n\xff\r\n"
      b"--in--\r\nSigned by the sender's gateway.\r\n"
      b"\r\n--f\r\nContent-Type: application/pdf; name=\"offer.pdf\"\r\n"
      b"Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQ=\r\n--f--\r\n")
