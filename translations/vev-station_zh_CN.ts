<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>DoubtModel</name>
    <message>
        <source>Row %1 was written to a module that held before: %2</source>
        <translation>第 %1 行已写入一个模块，其原有设置：%2</translation>
    </message>
    <message>
        <source>nothing read</source>
        <translation>未读到任何内容</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>行</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
</context>
<context>
    <name>GlancePanel</name>
    <message>
        <source>under a minute</source>
        <translation>不到一分钟</translation>
    </message>
    <message numerus="yes">
        <source>%n min</source>
        <translation>
            <numerusform>%n 分钟</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 小时 %2 分钟</translation>
    </message>
    <message>
        <source>This shift: not counted yet</source>
        <translation>本班次：尚未统计</translation>
    </message>
    <message>
        <source>The shift&apos;s figures are not counted: %1</source>
        <translation>本班次的数据未能统计：%1</translation>
    </message>
    <message numerus="yes">
        <source>%n units, first-pass yield %1, final yield %2</source>
        <translation>
            <numerusform>%n 个单元，一次通过率 %1，最终良率 %2</numerusform>
        </translation>
    </message>
    <message>
        <source>no units yet</source>
        <translation>尚无单元</translation>
    </message>
    <message>
        <source>The whole audit: %1; %2 PASS, %3 FAIL</source>
        <translation>整个审计记录：%1；%2 合格，%3 不合格</translation>
    </message>
    <message>
        <source>This shift (%1): %2; %3 PASS, %4 FAIL</source>
        <translation>本班次（%1）：%2；%3 合格，%4 不合格</translation>
    </message>
    <message>
        <source>%1: %2 PASS, %3 FAIL</source>
        <translation>%1：%2 合格，%3 不合格</translation>
    </message>
    <message>
        <source>, %1 s a module</source>
        <translation>，每个模块 %1 秒</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1。%2</translation>
    </message>
    <message>
        <source>Lanes: no module yet</source>
        <translation>通道：尚无模块</translation>
    </message>
    <message>
        <source>Lanes: %1</source>
        <translation>通道：%1</translation>
    </message>
    <message>
        <source>No failures</source>
        <translation>无不合格</translation>
    </message>
    <message>
        <source>Commonest failures: %1</source>
        <translation>最常见的不合格：%1</translation>
    </message>
    <message>
        <source>%1 modules an hour</source>
        <translation>每小时 %1 个模块</translation>
    </message>
    <message>
        <source>– modules an hour (none passed yet)</source>
        <translation>每小时 – 个模块（尚无合格）</translation>
    </message>
    <message numerus="yes">
        <source>%n rows left, %1 of them in doubt</source>
        <translation>
            <numerusform>剩余 %n 行，其中 %1 行存疑</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n rows left</source>
        <translation>
            <numerusform>剩余 %n 行</numerusform>
        </translation>
    </message>
    <message>
        <source>the plan is done</source>
        <translation>计划已完成</translation>
    </message>
    <message>
        <source>about %1 to finish</source>
        <translation>约 %1 后完成</translation>
    </message>
    <message>
        <source>%1 · %2</source>
        <translation>%1 · %2</translation>
    </message>
    <message>
        <source>%1 · %2 · %3</source>
        <translation>%1 · %2 · %3</translation>
    </message>
</context>
<context>
    <name>Instructions</name>
    <message>
        <source>Put a module on</source>
        <translation>放上一个模块</translation>
    </message>
    <message>
        <source>Leave the module on</source>
        <translation>请勿取下模块</translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation>扫描单元的序列号</translation>
    </message>
    <message>
        <source>Take it off</source>
        <translation>取下</translation>
    </message>
    <message>
        <source>Keep this module aside: put it back on a lane to finish row {row}</source>
        <translation>将此模块放在一边：重新放到通道上以完成第 {row} 行</translation>
    </message>
    <message>
        <source>Take it off: nothing was written</source>
        <translation>取下：未写入任何内容</translation>
    </message>
    <message>
        <source>Take it off: it already holds row {row}, recorded as passed</source>
        <translation>取下：它已带有第 {row} 行，记录为合格</translation>
    </message>
    <message>
        <source>Set it aside and call the supervisor</source>
        <translation>放在一边并呼叫主管</translation>
    </message>
    <message>
        <source>leave it: lane {lane} is writing it, check the wiring</source>
        <translation>保持不动：通道 {lane} 正在写入它，请检查接线</translation>
    </message>
    <message>
        <source>leave it: another station is writing row {row}, check the wiring</source>
        <translation>保持不动：另一个工站正在写入第 {row} 行，请检查接线</translation>
    </message>
    <message>
        <source>Leave it on to finish row {row}</source>
        <translation>保持放置以完成第 {row} 行</translation>
    </message>
    <message>
        <source>Set it aside for rework</source>
        <translation>放在一边待返修</translation>
    </message>
    <message>
        <source>Set this module aside with the one before it: row {row} is in doubt again</source>
        <translation>将此模块与前一个模块一起放在一边：第 {row} 行再次存疑</translation>
    </message>
    <message>
        <source>Take it off: no open row is left; only modules of rows in doubt are taken</source>
        <translation>取下：已无未完成的行；只接受存疑行的模块</translation>
    </message>
    <message>
        <source>Another lane or program talks on this lane&apos;s wires: check the wiring</source>
        <translation>另一个通道或程序在此通道的线路上通信：请检查接线</translation>
    </message>
    <message>
        <source>Fixture disconnected: check the cable</source>
        <translation>治具已断开：请检查电缆</translation>
    </message>
    <message>
        <source>The lane is stopped: Start begins the next run</source>
        <translation>通道已停止：按“开始”进行下一轮</translation>
    </message>
    <message>
        <source>Every row of the plan is done</source>
        <translation>计划中的每一行均已完成</translation>
    </message>
    <message>
        <source>Acknowledge the FAIL of row {row} to go on: click the tile, press Enter or scan ACK</source>
        <translation>确认第 {row} 行的不合格后继续：点击该面板、按 Enter 或扫描 ACK</translation>
    </message>
    <message>
        <source>line %1: no &quot;=&quot; (write kind = text)</source>
        <translation>第 %1 行：没有“=”（请写成 类型 = 文本）</translation>
    </message>
    <message>
        <source>line %1: no kind &quot;%2&quot; (the kinds are %3)</source>
        <translation>第 %1 行：没有类型“%2”（可用类型为 %3）</translation>
    </message>
    <message>
        <source>line %1: &quot;%2&quot; given again (first on line %3)</source>
        <translation>第 %1 行：“%2”重复出现（首次在第 %3 行）</translation>
    </message>
    <message>
        <source>line %1: no text for &quot;%2&quot;</source>
        <translation>第 %1 行：“%2”没有文本</translation>
    </message>
    <message>
        <source>line %1: no such place to fill as {%2} (there are {row} and {lane})</source>
        <translation>第 %1 行：没有可填入的位置 {%2}（可用的有 {row} 和 {lane}）</translation>
    </message>
    <message>
        <source>not UTF-8 text</source>
        <translation>不是 UTF-8 文本</translation>
    </message>
    <message>
        <source>larger than %1 KiB: not an instructions file</source>
        <translation>大于 %1 KiB：不是说明文件</translation>
    </message>
</context>
<context>
    <name>LaneState</name>
    <message>
        <source>READY</source>
        <translation>就绪</translation>
    </message>
    <message>
        <source>WORKING</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>DONE BEFORE</source>
        <translation>已完成过</translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation>冲突</translation>
    </message>
    <message>
        <source>IN DOUBT</source>
        <translation>存疑</translation>
    </message>
    <message>
        <source>WIRING</source>
        <translation>接线错误</translation>
    </message>
    <message>
        <source>PORT LOST</source>
        <translation>端口丢失</translation>
    </message>
    <message>
        <source>STOPPED</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>PLAN DONE</source>
        <translation>计划完成</translation>
    </message>
    <message>
        <source>HOLD</source>
        <translation>待确认</translation>
    </message>
</context>
<context>
    <name>LaneStep</name>
    <message>
        <source>reading</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation>领取一行</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>finishing the row</source>
        <translation>完成该行</translation>
    </message>
    <message>
        <source>verifying</source>
        <translation>校验</translation>
    </message>
    <message>
        <source>recording</source>
        <translation>记录</translation>
    </message>
</context>
<context>
    <name>LaneText</name>
    <message>
        <source>a row</source>
        <translation>某一行</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, recorded as passed, but not the rest of it: it may be a unit that came back changed; nothing was written to it, set it aside</source>
        <translation>冲突：该模块带有第 %1 行的 MAC 地址（已记录为合格），但没有该行的其余设置：可能是改动后退回的单元；未向其写入任何内容，请放在一边</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, which is in doubt, and is not that row&apos;s module; nothing was written to it, set it aside</source>
        <translation>冲突：该模块带有存疑的第 %1 行的 MAC 地址，但不是该行的模块；未向其写入任何内容，请放在一边</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries an address of row %1, being written on another lane; nothing is written to it until that lane is done</source>
        <translation>冲突：该模块带有第 %1 行的一个地址，该行正在另一个通道上写入；在该通道完成之前不会向其写入任何内容</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries part of row %1, whose other part is on another module (swapped in the middle of its writes); nothing was written to it: set it aside until that module has been given a row of its own</source>
        <translation>冲突：该模块带有第 %1 行的一部分，另一部分在另一个模块上（写入过程中被调换）；未向其写入任何内容：请放在一边，直到那个模块获得自己的行</translation>
    </message>
    <message>
        <source>CONFLICT: the module could be that of row %1 or of another row in doubt; nothing was written to it, set it aside</source>
        <translation>冲突：该模块可能属于第 %1 行或另一存疑行；未向其写入任何内容，请放在一边</translation>
    </message>
    <message>
        <source>CONFLICT: %1; nothing was written to it: set it aside and call the supervisor</source>
        <translation>冲突：%1；未向其写入任何内容：请放在一边并呼叫主管</translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation>冲突</translation>
    </message>
    <message>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>plan used up</source>
        <translation>计划已用完</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>stopped: </source>
        <translation>已停止：</translation>
    </message>
    <message>
        <source>no module within %1 ms</source>
        <translation>%1 毫秒内没有模块</translation>
    </message>
    <message>
        <source>port lost: </source>
        <translation>端口丢失：</translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed; nothing was sent</source>
        <translation>该模块已带有%1，记录为合格；未发送任何内容</translation>
    </message>
    <message>
        <source>nothing was written: </source>
        <translation>未写入任何内容：</translation>
    </message>
    <message>
        <source>stopped: answers came that this lane did not ask for; another lane or program talks to the module on the same wires (a Y cable, two lanes wired to one module): check the wiring</source>
        <translation>已停止：收到了本通道未请求的应答；另一个通道或程序通过同一线路与模块通信（Y 形电缆，或两个通道接到同一个模块）：请检查接线</translation>
    </message>
    <message>
        <source>the claim could not be recorded, nothing was written: </source>
        <translation>无法记录领取，未写入任何内容：</translation>
    </message>
    <message>
        <source>%1 %2 on the module with MAC %3 could not be recorded (%4); the row is in doubt</source>
        <translation>MAC 为 %3 的模块上的 %1 %2 无法记录（%4）；该行存疑</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation>正在领取一行</translation>
    </message>
    <message>
        <source>recording row %1</source>
        <translation>正在记录第 %1 行</translation>
    </message>
    <message>
        <source>%1: the database has not answered for %2 s (%3); still waiting</source>
        <translation>%1：数据库已 %2 秒未应答（%3）；仍在等待</translation>
    </message>
    <message>
        <source>waiting for a module</source>
        <translation>等待模块</translation>
    </message>
    <message>
        <source>reading a module</source>
        <translation>正在读取模块</translation>
    </message>
    <message>
        <source>writing %1 over the IP address of row %2 the module carried</source>
        <translation>正在写入%1，覆盖模块原有的第 %2 行 IP 地址</translation>
    </message>
    <message>
        <source>writing </source>
        <translation>正在写入</translation>
    </message>
    <message>
        <source>finishing %1, which was in doubt</source>
        <translation>正在完成存疑的%1</translation>
    </message>
    <message>
        <source>verifying row %1</source>
        <translation>正在校验第 %1 行</translation>
    </message>
    <message>
        <source>storing the outcome of row %1 while the store is unreachable (%2); retrying</source>
        <translation>存储不可达（%2），正在保存第 %1 行的结果；重试中</translation>
    </message>
    <message>
        <source>PASS row %1: take the module off</source>
        <translation>第 %1 行合格：取下模块</translation>
    </message>
    <message>
        <source>FAIL row %1 (%2): take the module off</source>
        <translation>第 %1 行不合格（%2）：取下模块</translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed: take it off</source>
        <translation>该模块已带有%1，记录为合格：请取下</translation>
    </message>
    <message>
        <source>no open row is left for this module: take it off</source>
        <translation>此模块已无可用的未完成行：请取下</translation>
    </message>
    <message>
        <source>FAIL row %1: the module lost its settings: set this module aside with the one before it</source>
        <translation>第 %1 行不合格：模块丢失了设置：将此模块与前一个模块一起放在一边</translation>
    </message>
    <message>
        <source>port lost: %1; waiting for the device to come back</source>
        <translation>端口丢失：%1；等待设备恢复</translation>
    </message>
    <message>
        <source>port lost; the device is back but cannot be opened: %1; trying again</source>
        <translation>端口丢失；设备已恢复但无法打开：%1；正在重试</translation>
    </message>
    <message>
        <source>held after the FAIL of row %1: acknowledge it to take the next module</source>
        <translation>第 %1 行不合格后暂停：确认后才接受下一个模块</translation>
    </message>
    <message>
        <source>a module is on, held after the FAIL of row %1: acknowledge it to take this module</source>
        <translation>已放上模块，第 %1 行不合格后暂停：确认后才处理此模块</translation>
    </message>
    <message>
        <source>a module is on: scan its serial</source>
        <translation>已放上模块：请扫描其序列号</translation>
    </message>
    <message>
        <source>: take it off</source>
        <translation>：请取下</translation>
    </message>
    <message>
        <source>row %1 (%2)</source>
        <translation>第 %1 行（%2）</translation>
    </message>
    <message>
        <source> [serial %1, attempt %2]</source>
        <translation> [序列号 %1，第 %2 次尝试]</translation>
    </message>
    <message>
        <source> [serial %1]</source>
        <translation> [序列号 %1]</translation>
    </message>
    <message>
        <source>; label printing</source>
        <translation>；正在打印标签</translation>
    </message>
    <message>
        <source>; label printed</source>
        <translation>；标签已打印</translation>
    </message>
    <message>
        <source>; label sent, the printer did not confirm it</source>
        <translation>；标签已发送，打印机未确认</translation>
    </message>
    <message>
        <source>; label NOT printed (%1), reprint with vev-cli label</source>
        <translation>；标签未打印（%1），请用 vev-cli label 重新打印</translation>
    </message>
    <message>
        <source>Plan used up</source>
        <translation>计划已用完</translation>
    </message>
    <message>
        <source>, %1 in doubt (put their modules back on a lane to finish them, or release them %2)</source>
        <translation>，%1 行存疑（将其模块重新放到通道上以完成，或在%2释放）</translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 passed, %3 failed this run; %n rows left</source>
        <translation>
            <numerusform>%1：本轮 %2 个合格，%3 个不合格；剩余 %n 行</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>LaneTile</name>
    <message>
        <source>Lane %1: %2</source>
        <translation>通道 %1：%2</translation>
    </message>
    <message>
        <source>Rework done</source>
        <translation>返修完成</translation>
    </message>
    <message>
        <source>Serial of the unit on lane %1</source>
        <translation>通道 %1 上单元的序列号</translation>
    </message>
    <message>
        <source>The failed unit on this lane is back from rework: its attempts count again</source>
        <translation>此通道上不合格的单元已返修回来：其尝试次数重新计算</translation>
    </message>
    <message>
        <source>Scan refused: </source>
        <translation>扫描被拒绝：</translation>
    </message>
    <message>
        <source>Row %1 failed</source>
        <translation>第 %1 行不合格</translation>
    </message>
    <message>
        <source>Row %1: IP %2, MAC %3</source>
        <translation>第 %1 行：IP %2，MAC %3</translation>
    </message>
    <message>
        <source>Before: </source>
        <translation>之前：</translation>
    </message>
    <message>
        <source>Scan %1 or press Enter to acknowledge the FAIL</source>
        <translation>扫描 %1 或按 Enter 确认不合格</translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation>扫描单元的序列号</translation>
    </message>
    <message>
        <source>Step %1 of %2: %3</source>
        <translation>第 %1 步，共 %2 步：%3</translation>
    </message>
    <message>
        <source>Lane %1, %2: %3, %4</source>
        <translation>通道 %1，%2：%3，%4</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
</context>
<context>
    <name>OperatorDialog</name>
    <message>
        <source>Who is at the bench?</source>
        <translation>谁在工位上？</translation>
    </message>
    <message>
        <source>Operator&apos;s name</source>
        <translation>操作员姓名</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>姓名(&amp;N)：</translation>
    </message>
    <message>
        <source>Type your name: nothing is recorded without the name of who is at the bench.</source>
        <translation>请输入您的姓名：没有工位上人员的姓名，不会记录任何内容。</translation>
    </message>
    <message>
        <source>The name</source>
        <translation>姓名</translation>
    </message>
</context>
<context>
    <name>RecordsModel</name>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation>不合格：%1</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>Row %1 on %2 at %3: %4</source>
        <translation>第 %1 行，%2，%3：%4</translation>
    </message>
    <message>
        <source>%1 (operator: %2)</source>
        <translation>%1（操作员：%2）</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Lane</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>行</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
</context>
<context>
    <name>RecordsPanel</name>
    <message>
        <source>Last records, newest first</source>
        <translation>最近的记录，最新的在前</translation>
    </message>
    <message>
        <source>Last records of the audit, newest first</source>
        <translation>审计记录中最近的记录，最新的在前</translation>
    </message>
    <message>
        <source>Rows in doubt</source>
        <translation>存疑的行</translation>
    </message>
    <message>
        <source>Rows in doubt: part of each may be on a module</source>
        <translation>存疑的行：每行的一部分可能已在某个模块上</translation>
    </message>
    <message>
        <source>Release…</source>
        <translation>释放…</translation>
    </message>
    <message>
        <source>Release the selected row in doubt back to the plan</source>
        <translation>将所选的存疑行释放回计划</translation>
    </message>
    <message>
        <source>Select a record to read it whole.</source>
        <translation>选择一条记录以查看全文。</translation>
    </message>
    <message>
        <source>Select a row to release it.</source>
        <translation>选择一行以释放它。</translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation>释放第 %1 行</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>释放</translation>
    </message>
</context>
<context>
    <name>ScanRouter</name>
    <message>
        <source>Several lanes hold a FAIL: click the tile of the one you have dealt with.</source>
        <translation>多个通道有待确认的不合格：请点击您已处理的那个通道的面板。</translation>
    </message>
    <message>
        <source>Lanes %1 each wait for a serial: click the scan field of the lane the unit is on, then scan.</source>
        <translation>通道 %1 均在等待序列号：请点击单元所在通道的扫描栏，然后扫描。</translation>
    </message>
    <message>
        <source>Lane %1: scan refused: %2</source>
        <translation>通道 %1：扫描被拒绝：%2</translation>
    </message>
    <message>
        <source>with MAC </source>
        <translation>MAC 为 </translation>
    </message>
    <message>
        <source>with serial </source>
        <translation>序列号为 </translation>
    </message>
    <message>
        <source>The rework of the unit %1 was not recorded: %2</source>
        <translation>单元（%1）的返修未被记录：%2</translation>
    </message>
    <message>
        <source>The unit %1 is back from rework: its next attempt is its first again.</source>
        <translation>单元（%1）已返修回来：下一次尝试重新算作第一次。</translation>
    </message>
</context>
<context>
    <name>SetupPanel</name>
    <message>
        <source>No labels</source>
        <translation>不打印标签</translation>
    </message>
    <message>
        <source>PDF files in a folder</source>
        <translation>文件夹中的 PDF 文件</translation>
    </message>
    <message>
        <source>ZPL printer</source>
        <translation>ZPL 打印机</translation>
    </message>
    <message>
        <source>CUPS printer</source>
        <translation>CUPS 打印机</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>一个文件夹</translation>
    </message>
    <message>
        <source>HOST:PORT, such as 10.0.0.9:9100</source>
        <translation>主机:端口，例如 10.0.0.9:9100</translation>
    </message>
    <message>
        <source>a printer&apos;s name (lpstat -p)</source>
        <translation>打印机名称（lpstat -p）</translation>
    </message>
    <message>
        <source>Set-up</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Plan file</source>
        <translation>计划文件</translation>
    </message>
    <message>
        <source>Audit file</source>
        <translation>审计文件</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>工站名称</translation>
    </message>
    <message>
        <source>Labels for the modules that pass</source>
        <translation>合格模块的标签</translation>
    </message>
    <message>
        <source>Where the labels go</source>
        <translation>标签输出位置</translation>
    </message>
    <message>
        <source>The units&apos; serial numbers</source>
        <translation>单元的序列号</translation>
    </message>
    <message>
        <source>No serials</source>
        <translation>不用序列号</translation>
    </message>
    <message>
        <source>Serial when scanned</source>
        <translation>扫描时记录序列号</translation>
    </message>
    <message>
        <source>Serial required</source>
        <translation>必须有序列号</translation>
    </message>
    <message>
        <source>Pattern a serial must match</source>
        <translation>序列号必须匹配的模式</translation>
    </message>
    <message>
        <source>pattern, e.g. SN-[0-9]{6}</source>
        <translation>模式，例如 SN-[0-9]{6}</translation>
    </message>
    <message>
        <source>Serial ports: tick one for each lane</source>
        <translation>串口：每个通道勾选一个</translation>
    </message>
    <message>
        <source>Port to add, by device path</source>
        <translation>要添加的端口（设备路径）</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>浏览…</translation>
    </message>
    <message>
        <source>Choose the plan file</source>
        <translation>选择计划文件</translation>
    </message>
    <message>
        <source>Choose the audit file</source>
        <translation>选择审计文件</translation>
    </message>
    <message>
        <source>Add port</source>
        <translation>添加端口</translation>
    </message>
    <message>
        <source>Instructions file</source>
        <translation>说明文件</translation>
    </message>
    <message>
        <source>none: the tiles say what to do in their own words</source>
        <translation>无：面板用自己的话说明该做什么</translation>
    </message>
    <message>
        <source>A text file, one line per kind of outcome: kind = text (see the manual)</source>
        <translation>文本文件，每种结果一行：类型 = 文本（见手册）</translation>
    </message>
    <message>
        <source>A FAIL holds its lane until acknowledged</source>
        <translation>不合格时通道等待确认</translation>
    </message>
    <message>
        <source>The lane takes no next module until the operator clicks its tile, presses Enter or scans %1</source>
        <translation>在操作员点击其面板、按 Enter 或扫描 %1 之前，该通道不接受下一个模块</translation>
    </message>
    <message>
        <source>Roster file</source>
        <translation>人员名单文件</translation>
    </message>
    <message>
        <source>none: the operator types a name; with one, operators sign in with their badge</source>
        <translation>无：操作员输入姓名；若有名单，操作员用工牌登录</translation>
    </message>
    <message>
        <source>a CSV file, or postgresql://… for a plan several benches share</source>
        <translation>CSV 文件，或多个工位共用计划的 postgresql://…</translation>
    </message>
    <message>
        <source>in the database, with the plan</source>
        <translation>在数据库中，与计划一起</translation>
    </message>
    <message>
        <source>&amp;Plan:</source>
        <translation>计划(&amp;P)：</translation>
    </message>
    <message>
        <source>&amp;Audit:</source>
        <translation>审计(&amp;A)：</translation>
    </message>
    <message>
        <source>Roste&amp;r:</source>
        <translation>名单(&amp;R)：</translation>
    </message>
    <message>
        <source>S&amp;tation:</source>
        <translation>工站(&amp;T)：</translation>
    </message>
    <message>
        <source>La&amp;bels:</source>
        <translation>标签(&amp;B)：</translation>
    </message>
    <message>
        <source>Se&amp;rials:</source>
        <translation>序列号(&amp;R)：</translation>
    </message>
    <message>
        <source>&amp;Lanes:</source>
        <translation>通道(&amp;L)：</translation>
    </message>
    <message>
        <source>I&amp;nstructions:</source>
        <translation>说明(&amp;N)：</translation>
    </message>
    <message>
        <source>Audit (*.jsonl);;All files (*)</source>
        <translation>审计记录 (*.jsonl);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>计划</translation>
    </message>
    <message>
        <source>Plans (*.csv);;All files (*)</source>
        <translation>计划 (*.csv);;所有文件 (*)</translation>
    </message>
</context>
<context>
    <name>SignInDialog</name>
    <message>
        <source>The shift&apos;s name</source>
        <translation>班次名称</translation>
    </message>
    <message>
        <source>may be left empty</source>
        <translation>可以留空</translation>
    </message>
    <message>
        <source>Shift:</source>
        <translation>班次：</translation>
    </message>
    <message>
        <source>Badge code</source>
        <translation>工牌代码</translation>
    </message>
    <message>
        <source>Badge:</source>
        <translation>工牌：</translation>
    </message>
</context>
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
<context>
    <name>StationSetup</name>
    <message>
        <source>Choose the plan: a CSV file, or the postgresql:// URI of a plan several benches share.</source>
        <translation>选择计划：CSV 文件，或多个工位共用计划的 postgresql:// URI。</translation>
    </message>
    <message>
        <source>Plan: %1.</source>
        <translation>计划：%1。</translation>
    </message>
    <message>
        <source>Choose the audit file (JSON lines; a new file is created).</source>
        <translation>选择审计文件（JSON 行；将创建新文件）。</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>工站</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>操作员</translation>
    </message>
    <message>
        <source>Tick or type at least one serial port: each is a lane.</source>
        <translation>请至少勾选或输入一个串口：每个串口是一个通道。</translation>
    </message>
    <message>
        <source>%1 and %2 are the same port (%3); give each port once.</source>
        <translation>%1 和 %2 是同一个端口（%3）；每个端口只能给出一次。</translation>
    </message>
    <message>
        <source>Labels: %1.</source>
        <translation>标签：%1。</translation>
    </message>
    <message>
        <source>Serial pattern &quot;%1&quot;: %2 at character %3.</source>
        <translation>序列号模式“%1”：第 %3 个字符处%2。</translation>
    </message>
    <message>
        <source>Instructions %1: %2.</source>
        <translation>说明 %1：%2。</translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>The plan or audit is held by %1.</source>
        <translation>计划或审计记录被 %1 占用。</translation>
    </message>
    <message>
        <source>No report: %1</source>
        <translation>没有报告：%1</translation>
    </message>
    <message>
        <source>choose the plan and its audit first.</source>
        <translation>请先选择计划及其审计记录。</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>The report is in %1; no program opened it.</source>
        <translation>报告位于 %1；没有程序打开它。</translation>
    </message>
    <message>
        <source>The report is in %1.</source>
        <translation>报告位于 %1。</translation>
    </message>
    <message>
        <source>Making the report…</source>
        <translation>正在生成报告…</translation>
    </message>
    <message>
        <source>Releasing a row</source>
        <translation>释放一行</translation>
    </message>
    <message>
        <source>Changing the set-up</source>
        <translation>更改设置</translation>
    </message>
    <message>
        <source>Starting a new shift</source>
        <translation>开始新班次</translation>
    </message>
    <message>
        <source>Change set-up…</source>
        <translation>更改设置…</translation>
    </message>
    <message>
        <source>With a roster, the set-up is changed with a supervisor&apos;s badge</source>
        <translation>若有人员名单，需用主管的工牌更改设置</translation>
    </message>
    <message>
        <source>New shift…</source>
        <translation>新班次…</translation>
    </message>
    <message>
        <source>Record the start of a shift in the audit (a supervisor&apos;s badge, with a roster)</source>
        <translation>在审计记录中记录班次开始（若有人员名单，需主管的工牌）</translation>
    </message>
    <message>
        <source>Set-up opened by %1 (%2) until the next Start.</source>
        <translation>设置已由 %1（%2）打开，直到下次开始。</translation>
    </message>
    <message>
        <source>Not started: </source>
        <translation>未开始：</translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>Scan your badge, or type your code, to start the run.</source>
        <translation>扫描您的工牌或输入您的代码以开始运行。</translation>
    </message>
    <message>
        <source>Not started: sign-in refused: </source>
        <translation>未开始：登录被拒绝：</translation>
    </message>
    <message>
        <source>%1 is recorded under the name of who is at the bench: type your name.</source>
        <translation>%1将以工位上人员的姓名记录：请输入您的姓名。</translation>
    </message>
    <message>
        <source>Type your name to start the run: every line of the audit carries it.</source>
        <translation>请输入您的姓名以开始运行：审计记录的每一行都带有它。</translation>
    </message>
    <message>
        <source>%1: the roster cannot be read: %2</source>
        <translation>%1：无法读取人员名单：%2</translation>
    </message>
    <message>
        <source>%1 needs a supervisor&apos;s badge: scan it, or type the code.</source>
        <translation>%1需要主管的工牌：请扫描或输入代码。</translation>
    </message>
    <message>
        <source>The shift&apos;s name, as reports show it.</source>
        <translation>班次名称，将显示在报告中。</translation>
    </message>
    <message>
        <source>Refused: </source>
        <translation>已拒绝：</translation>
    </message>
    <message>
        <source>Row %1 released: it goes back to the plan.</source>
        <translation>第 %1 行已释放：它回到计划中。</translation>
    </message>
    <message>
        <source>Row %1 was not released: %2</source>
        <translation>第 %1 行未释放：%2</translation>
    </message>
    <message>
        <source>The shift&apos;s name</source>
        <translation>班次名称</translation>
    </message>
    <message>
        <source>No shift started: %1.</source>
        <translation>未开始班次：%1。</translation>
    </message>
    <message>
        <source>A new shift starts: recorded in the audit.</source>
        <translation>新班次开始：已记入审计记录。</translation>
    </message>
    <message>
        <source>Shift %1 starts: recorded in the audit.</source>
        <translation>班次 %1 开始：已记入审计记录。</translation>
    </message>
    <message>
        <source>No shift started: %1</source>
        <translation>未开始班次：%1</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>报告</translation>
    </message>
    <message>
        <source>VeV-Idire Station</source>
        <translation>VeV-Idire 工站</translation>
    </message>
    <message>
        <source>Start the run (Space or Enter)</source>
        <translation>开始运行（空格键或 Enter）</translation>
    </message>
    <message>
        <source>Finish and record the modules in hand, then stop (Escape asks first)</source>
        <translation>完成并记录正在处理的模块，然后停止（按 Esc 会先询问）</translation>
    </message>
    <message>
        <source>The line report of the plan as a page in the browser: yield, failures by code, output by station and every unit</source>
        <translation>以浏览器页面显示计划的产线报告：良率、按代码分类的不合格、各工站产量及每个单元</translation>
    </message>
    <message>
        <source>Tick a port for each lane and press Start.</source>
        <translation>为每个通道勾选一个端口，然后按“开始”。</translation>
    </message>
    <message>
        <source>Settings not used: %1; the set-up is not remembered.</source>
        <translation>未使用设置文件：%1；设置不会被记住。</translation>
    </message>
    <message>
        <source>Plan progress</source>
        <translation>计划进度</translation>
    </message>
    <message>
        <source>%v of %m passed</source>
        <translation>%v / %m 合格</translation>
    </message>
    <message>
        <source>100000 of 100000 passed</source>
        <translation>100000 / 100000 合格</translation>
    </message>
    <message>
        <source>; the run stops.</source>
        <translation>；运行停止。</translation>
    </message>
    <message>
        <source>; nothing more is sent to any module, and the run stops.</source>
        <translation>；不再向任何模块发送内容，运行停止。</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>below</source>
        <translation>下方</translation>
    </message>
    <message>
        <source>Opening the plan, the audit and the ports…</source>
        <translation>正在打开计划、审计记录和端口…</translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes, but %1.</source>
        <translation>
            <numerusform>正在 %n 个通道上运行，但%1。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes. Escape stops once the modules in hand are finished.</source>
        <translation>
            <numerusform>正在 %n 个通道上运行。按 Esc 会在正在处理的模块完成后停止。</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopping: the lanes finish and record the modules in hand…</source>
        <translation>正在停止：各通道完成并记录正在处理的模块…</translation>
    </message>
    <message>
        <source>Plan: %1 of %2 passed, %3 left, %4 in doubt</source>
        <translation>计划：%2 行中 %1 行合格，剩余 %3 行，%4 行存疑</translation>
    </message>
    <message>
        <source>Elapsed %1</source>
        <translation>已用时 %1</translation>
    </message>
    <message>
        <source>Stop the run</source>
        <translation>停止运行</translation>
    </message>
    <message>
        <source>Stop the run? Each lane first finishes and records the module in hand.</source>
        <translation>停止运行？每个通道会先完成并记录正在处理的模块。</translation>
    </message>
    <message>
        <source>Stop and close</source>
        <translation>停止并关闭</translation>
    </message>
    <message>
        <source>A supervisor&apos;s badge is asked next: the release is recorded in the audit under the supervisor&apos;s name.</source>
        <translation>接下来需要主管的工牌：释放将以主管的姓名记入审计记录。</translation>
    </message>
    <message>
        <source>The release is recorded in the audit under the operator&apos;s name, %1.</source>
        <translation>释放将以操作员的姓名记入审计记录：%1。</translation>
    </message>
    <message>
        <source>(none given)</source>
        <translation>（未提供）</translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation>释放第 %1 行</translation>
    </message>
    <message>
        <source>Release row %1 (IP %2, MAC %3) back to the plan?

The row is in doubt: part of it may be on the module it was written to (before: %4). Release it only once that module has been dealt with:
• it was put back on a lane and finished the row (the row then leaves this list by itself), or
• it was wiped back to its settings before, or scrapped.

Once released, the next module may be given the row. %5</source>
        <translation>将第 %1 行（IP %2，MAC %3）释放回计划？

该行存疑：其一部分可能已在写入的模块上（之前：%4）。只有在该模块已处理完毕后才能释放：
• 它已重新放到通道上并完成了该行（该行随后会自动离开此列表），或
• 它已恢复为之前的设置，或已报废。

释放后，下一个模块可能会分配到该行。%5</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>释放</translation>
    </message>
</context>
</TS>
