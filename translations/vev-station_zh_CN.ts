<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>SoundCues</name>
    <message>
        <source>Sound on PASS</source>
        <translation>合格提示音</translation>
    </message>
    <message>
        <source>Sound on FAIL</source>
        <translation>不合格提示音</translation>
    </message>
</context>
</TS>
