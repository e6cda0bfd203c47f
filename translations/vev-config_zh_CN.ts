<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>cloudConfigured</name>
    <message>
        <source>Invalid IP address: </source>
        <translation>无效的 IP 地址：</translation>
    </message>
    <message>
        <source>Invalid gateway address: </source>
        <translation>无效的网关地址：</translation>
    </message>
    <message>
        <source>Invalid port: </source>
        <translation>无效的端口：</translation>
    </message>
    <message>
        <source>Invalid MAC address: </source>
        <translation>无效的 MAC 地址：</translation>
    </message>
    <message>
        <source>Cannot open port %1: %2</source>
        <translation>无法打开端口 %1：%2</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>IP 地址</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>TCP port</source>
        <translation>TCP 端口</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>MAC 地址</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>日志</translation>
    </message>
    <message>
        <source>Settings not used: %1; the last port opened is not remembered.</source>
        <translation>未使用设置：%1；不会记住上次打开的端口。</translation>
    </message>
    <message>
        <source>No serial port selected.</source>
        <translation>未选择串口。</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Port %1 closed: %2</source>
        <translation>端口 %1 已关闭：%2</translation>
    </message>
    <message>
        <source>Computer name:</source>
        <translation>计算机名：</translation>
    </message>
    <message>
        <source>Local IP address:</source>
        <translation>本机 IP 地址：</translation>
    </message>
    <message>
        <source>Local Gateway:</source>
        <translation>本机网关：</translation>
    </message>
    <message>
        <source>Auto uses %1 with gateway %2 (%3).</source>
        <translation>自动模式使用 %1，网关 %2（%3）。</translation>
    </message>
    <message>
        <source>Please Open the Port!</source>
        <translation>请先打开端口！</translation>
    </message>
    <message>
        <source>Connect&apos;s read cancelled: Apply writes new values.</source>
        <translation>已取消“连接”的读取：“应用”正在写入新值。</translation>
    </message>
    <message>
        <source>No reply from the module.</source>
        <translation>模块无应答。</translation>
    </message>
    <message>
        <source>Not acknowledged by the module: %1.</source>
        <translation>模块未确认：%1。</translation>
    </message>
    <message>
        <source>Connected!</source>
        <translation>已连接！</translation>
    </message>
    <message>
        <source>About VeV-Idire Configuration</source>
        <translation>关于 VeV-Idire 配置</translation>
    </message>
    <message>
        <source>version:v%1<byte value="xd"/>
Copyright 2026 TELVOR<byte value="xd"/>
E-mail:support@telvor.example<byte value="xd"/>
Tell:+1 555 0100</source>
        <translation>版本：v%1<byte value="xd"/>
Copyright 2026 TELVOR<byte value="xd"/>
电子邮件：support@telvor.example<byte value="xd"/>
电话：+1 555 0100</translation>
    </message>
    <message>
        <source> ... (%1 more characters not shown)</source>
        <translation> ...（另有 %1 个字符未显示）</translation>
    </message>
</context>
<context>
    <name>cloudConfiguredClass</name>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>TELVOR: VeV-Idire Configuration</source>
        <translation>TELVOR：VeV-Idire 配置</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>日志</translation>
    </message>
    <message>
        <source>Port Setting</source>
        <translation>端口设置</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>Gatway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP 地址</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>手动</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
</context>
</TS>
