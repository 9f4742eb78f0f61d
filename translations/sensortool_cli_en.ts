<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>cli::CliTexts</name>
    <message>
        <source>未知命令 &apos;%1&apos;（命令：search、read、set、calibrate、watch、history）</source>
        <translation>unknown command &apos;%1&apos; (commands: search, read, set, calibrate, watch, history)</translation>
    </message>
    <message>
        <source>无效的端口 &apos;%1&apos;：请给出 COM1..COM15 或设备路径，例如 /dev/ttyUSB0</source>
        <translation>invalid port &apos;%1&apos;: give COM1..COM15 or a device path such as /dev/ttyUSB0</translation>
    </message>
    <message>
        <source>无效的地址 &apos;%1&apos;：总线地址为 1..254</source>
        <translation>invalid address &apos;%1&apos;: the bus address is 1..254</translation>
    </message>
    <message>
        <source>无效的超时 &apos;%1&apos;：请给出大于 0 的秒数</source>
        <translation>invalid timeout &apos;%1&apos;: give seconds, more than 0</translation>
    </message>
    <message>
        <source>无效的次数 &apos;%1&apos;：请给出大于 0 的整数</source>
        <translation>invalid count &apos;%1&apos;: give a whole number above 0</translation>
    </message>
    <message>
        <source>没有 &apos;%1&apos; 的帮助：它不是命令</source>
        <translation>no help for &apos;%1&apos;: not a command</translation>
    </message>
    <message>
        <source>没有给出命令（search、read、set、calibrate、watch 或 history）</source>
        <translation>no command given (search, read, set, calibrate, watch or history)</translation>
    </message>
    <message>
        <source>选项 &apos;%1&apos; 不适用于 &apos;%2&apos;</source>
        <translation>option &apos;%1&apos; does not apply to &apos;%2&apos;</translation>
    </message>
    <message>
        <source>选项 &apos;%1&apos; 不适用于 &apos;history&apos;（它读取记录数据库；请用 --serial 选择传感器）</source>
        <translation>option &apos;%1&apos; does not apply to &apos;history&apos; (it reads the records database; use --serial to choose a sensor)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不带操作数，却给出了 &apos;%2&apos;</source>
        <translation>&apos;%1&apos; takes no operand, got &apos;%2&apos;</translation>
    </message>
    <message>
        <source>&apos;search&apos; 自己遍历地址；--address 不适用</source>
        <translation>&apos;search&apos; walks the addresses itself; --address does not apply</translation>
    </message>
    <message>
        <source>&apos;set&apos; 需要一个字段和一个值：filter、pressure、unit、address、zero、air、factory-zero、factory-air 或 serial</source>
        <translation>&apos;set&apos; needs a field and a value: filter, pressure, unit, address, zero, air, factory-zero, factory-air or serial</translation>
    </message>
    <message>
        <source>未知字段 &apos;%1&apos;（字段：filter、pressure、unit、address、zero、air、factory-zero、factory-air、serial）</source>
        <translation>unknown field &apos;%1&apos; (fields: filter, pressure, unit, address, zero, air, factory-zero, factory-air, serial)</translation>
    </message>
    <message>
        <source>&apos;set %1&apos; 需要一个值</source>
        <translation>&apos;set %1&apos; needs a value</translation>
    </message>
    <message>
        <source>&apos;set&apos; 只带一个值，却还给出了 &apos;%1&apos;</source>
        <translation>&apos;set&apos; takes one value, got &apos;%1&apos; as well</translation>
    </message>
    <message>
        <source>&apos;calibrate&apos; 需要以下之一：zero、air、restore</source>
        <translation>&apos;calibrate&apos; needs one of: zero, air, restore</translation>
    </message>
    <message>
        <source>&apos;calibrate&apos; 只带一个操作数，却还给出了 &apos;%1&apos;</source>
        <translation>&apos;calibrate&apos; takes one operand, got &apos;%1&apos; as well</translation>
    </message>
    <message>
        <source>未知标定 &apos;%1&apos;（zero、air 或 restore）</source>
        <translation>unknown calibration &apos;%1&apos; (zero, air or restore)</translation>
    </message>
    <message>
        <source>&apos;history&apos; 需要以下之一：readings、writes、calibrations</source>
        <translation>&apos;history&apos; needs one of: readings, writes, calibrations</translation>
    </message>
    <message>
        <source>&apos;history&apos; 只带一个操作数，却还给出了 &apos;%1&apos;</source>
        <translation>&apos;history&apos; takes one operand, got &apos;%1&apos; as well</translation>
    </message>
    <message>
        <source>未知表 &apos;%1&apos;（readings、writes 或 calibrations）</source>
        <translation>unknown table &apos;%1&apos; (readings, writes or calibrations)</translation>
    </message>
    <message>
        <source>请只给出 --json 或 --csv 之一，不要同时给出</source>
        <translation>give either --json or --csv, not both</translation>
    </message>
    <message>
        <source>无效的序列号 &apos;%1&apos;：请按窗口显示的或传感器上印的写法给出</source>
        <translation>invalid serial number &apos;%1&apos;: give it as the windows show it or as printed on the sensor</translation>
    </message>
    <message>
        <source>无效的 --%1 &apos;%2&apos;：请给出时间，例如 2026-03-14 或 2026-03-14T08:00:00Z</source>
        <translation>invalid --%1 &apos;%2&apos;: give a time such as 2026-03-14 or 2026-03-14T08:00:00Z</translation>
    </message>
    <message>
        <source>--until 早于 --since：两者之间不会有记录</source>
        <translation>--until is before --since: no record can lie between them</translation>
    </message>
    <message>
        <source>--db 需要一个数据库：文件路径或 postgresql://user@host/db</source>
        <translation>--db needs a database: a file path or postgresql://user@host/db</translation>
    </message>
    <message>
        <source>无效的单位 &apos;%1&apos;：请给出 mg/L（或 1）、%（或 0）或 toggle</source>
        <translation>invalid unit &apos;%1&apos;: give mg/L (or 1), % (or 0), or toggle</translation>
    </message>
    <message>
        <source>%1 次轮询无应答：重新打开 %2</source>
        <translation>no reply to %1 polls: reopening %2</translation>
    </message>
    <message>
        <source>%1 不存在</source>
        <translation>%1 does not exist</translation>
    </message>
    <message>
        <source>搜索中：正在轮询地址 %1</source>
        <translation>searching: polling address %1</translation>
    </message>
    <message>
        <source>地址 %1 的轮询没有有效应答</source>
        <translation>no valid reply to the poll of address %1</translation>
    </message>
    <message>
        <source>回读的值不同：传感器没有接受写入</source>
        <translation>read back a different value: the sensor did not take the write</translation>
    </message>
    <message>
        <source>在地址 %1 找到传感器</source>
        <translation>found the sensor at address %1</translation>
    </message>
    <message>
        <source>已取消：什么也没有发送</source>
        <translation>cancelled: nothing was sent</translation>
    </message>
    <message>
        <source>零点标定，地址 %1 的传感器
确保仪表工作在无氧水中
等待标定测量数值稳定
开始零点标定吗？[y/N] </source>
        <translation>Zero calibration, sensor at address %1
Make sure the sensor is in oxygen-free water
Waiting for the calibration reading to settle
Start the zero calibration? [y/N] </translation>
    </message>
    <message>
        <source>空气标定，地址 %1 的传感器
请确认已放入空气中
等待标定测量数值稳定
开始空气标定吗？[y/N] </source>
        <translation>Air calibration, sensor at address %1
Make sure the sensor is in air
Waiting for the calibration reading to settle
Start the air calibration? [y/N] </translation>
    </message>
    <message>
        <source>恢复出厂标定，地址 %1 的传感器
确定要恢复出厂设置吗？[y/N] </source>
        <translation>Restore the factory calibration, sensor at address %1
Restore the factory settings? [y/N] </translation>
    </message>
    <message>
        <source>（已搜索 %1 秒）</source>
        <translation>(searched for %1 s)</translation>
    </message>
    <message>
        <source>%1 上地址 %2 的传感器在 %3 秒内没有应答</source>
        <translation>no reply from the sensor at address %2 on %1 within %3 s</translation>
    </message>
    <message>
        <source>传感器在 %1 秒内没有回显写入（已发送 %2 次）；写入未确认</source>
        <translation>the sensor did not echo the write within %1 s (sent %2 times); the write is not confirmed</translation>
    </message>
    <message>
        <source>写入已回显，但回读时 %1 秒内没有应答</source>
        <translation>the write was echoed but no reply came when reading it back within %1 s</translation>
    </message>
    <message>
        <source>无法写入标准输出：%1</source>
        <translation>cannot write to standard output: %1</translation>
    </message>
    <message>
        <source>记录数据库不存在：%1</source>
        <translation>the records database does not exist: %1</translation>
    </message>
    <message>
        <source>无法打开记录数据库 %1：%2</source>
        <translation>cannot open the records database %1: %2</translation>
    </message>
    <message>
        <source>读取记录失败：%1</source>
        <translation>reading the records failed: %1</translation>
    </message>
    <message>
        <source>标准输出已关闭；结果无处可写</source>
        <translation>standard output is closed; nothing to write the result to</translation>
    </message>
    <message>
        <source>请试试 &apos;%1&apos;。</source>
        <translation>Try &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>不记录本次运行：%1</source>
        <translation>not recording this run: %1</translation>
    </message>
    <message>
        <source>警告：记录数据库 %1 无法使用（%2）；测量照常进行</source>
        <translation>Warning: the records database %1 cannot be used (%2); the measurement goes on</translation>
    </message>
    <message>
        <source>警告：%1 条记录未能写入 %2（%3）</source>
        <translation>Warning: %1 records could not be written to %2 (%3)</translation>
    </message>
    <message>
        <source>等待传感器稳定，以记录标定后的读数（最多 %1 秒）…</source>
        <translation>waiting for the sensor to settle to record the reading after the calibration (at most %1 s)…</translation>
    </message>
    <message>
        <source>标定后没有读数：记录中标定后的值为未知</source>
        <translation>no reading after the calibration: its values after are recorded as unknown</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>address</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>serial number</translation>
    </message>
    <message>
        <source>软件版本</source>
        <translation>software version</translation>
    </message>
    <message>
        <source>溶解氧值</source>
        <translation>DO</translation>
    </message>
    <message>
        <source>扫描中：地址 %1（%2/%3）</source>
        <translation>scanning: address %1 (%2/%3)</translation>
    </message>
    <message>
        <source>在地址 %1 找到传感器，序列号 %2
</source>
        <translation>found the sensor at address %1, serial number %2
</translation>
    </message>
    <message numerus="yes">
        <source>扫描已取消：已找到 %n 个传感器
</source>
        <translation>
            <numerusform>scan cancelled: %n sensor found
</numerusform>
            <numerusform>scan cancelled: %n sensors found
</numerusform>
        </translation>
    </message>
    <message>
        <source>警告：设备表未保存（%1）：%2
</source>
        <translation>warning: the device table was not saved (%1): %2
</translation>
    </message>
    <message>
        <source>无效的端口 &apos;%1&apos;：%2</source>
        <translation>invalid port &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>无效的最后地址 &apos;%1&apos;：扫描地址为 1..247</source>
        <translation>invalid last address &apos;%1&apos;: the scan covers addresses 1..247</translation>
    </message>
    <message>
        <source>选项 &apos;%1&apos; 只适用于 &apos;search --all&apos;</source>
        <translation>option &apos;%1&apos; applies only to &apos;search --all&apos;</translation>
    </message>
    <message>
        <source>选项 &apos;--timeout&apos; 不适用于 &apos;search --all&apos;</source>
        <translation>option &apos;--timeout&apos; does not apply to &apos;search --all&apos;</translation>
    </message>
    <message>
        <source>已重新打开 %1</source>
        <translation>reopened %1</translation>
    </message>
</context>
</TS>
