<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>关于 Velloran</source>
        <translation>About Velloran</translation>
    </message>
    <message>
        <source>程序图标</source>
        <translation>Program icon</translation>
    </message>
    <message>
        <source>Velloran 1.0 版</source>
        <translation>Velloran version 1.0</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>本程序按 GPL-3.0-or-later 许可发布，不提供任何担保。使用 Qt 库（LGPL-3.0 许可，动态链接）。</source>
        <translation>This program is released under GPL-3.0-or-later, without any warranty. It uses the Qt libraries (LGPL-3.0, dynamically linked).</translation>
    </message>
    <message>
        <source>许可</source>
        <translation>Licence</translation>
    </message>
</context>
<context>
    <name>CAirCalDlg</name>
    <message>
        <source>空气标定</source>
        <translation>Air calibration</translation>
    </message>
    <message>
        <source>请确认已放入空气中</source>
        <translation>Make sure the sensor is in air</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CAirCalWaitDlg</name>
    <message>
        <source>标定</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>等待标定测量数值稳定</source>
        <translation>Waiting for the calibration reading to settle</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CBusScanWindow</name>
    <message>
        <source>设备管理</source>
        <translation>Device manager</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>软件版本</source>
        <translation>Software version</translation>
    </message>
    <message>
        <source>DO</source>
        <translation>DO</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>发现时间</source>
        <translation>Found at</translation>
    </message>
    <message>
        <source>扫描</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>保存…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>%v / %m</source>
        <translation>%v / %m</translation>
    </message>
    <message>
        <source>%v / %m（地址 %1）</source>
        <translation>%v / %m (address %1)</translation>
    </message>
    <message>
        <source>保存设备表</source>
        <translation>Save device table</translation>
    </message>
    <message>
        <source>文本文件 (*.txt);;所有文件 (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>有未完成的写入，请等它完成后再扫描总线。</source>
        <translation>A write is still waiting for its confirmation; scan the bus once it has finished.</translation>
    </message>
    <message>
        <source>设备表无法保存：%1</source>
        <translation>The device table could not be saved: %1</translation>
    </message>
</context>
<context>
    <name>CCalibrationPrompt</name>
    <message>
        <source>测量稳定性</source>
        <translation>Reading stability</translation>
    </message>
</context>
<context>
    <name>CFactoryInfoDlg</name>
    <message>
        <source>传感器出厂信息</source>
        <translation>Sensor factory information</translation>
    </message>
    <message>
        <source>出厂信息</source>
        <translation>Factory information</translation>
    </message>
    <message>
        <source>传感器软件版本:</source>
        <translation>Software version:</translation>
    </message>
    <message>
        <source>传感器软件版本</source>
        <translation>Software version</translation>
    </message>
    <message>
        <source>传感器序列号:</source>
        <translation>Serial number:</translation>
    </message>
    <message>
        <source>传感器序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>更改</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>更改传感器序列号</source>
        <translation>Change the serial number</translation>
    </message>
    <message>
        <source>厂家零点标定:</source>
        <translation>Factory zero calibration:</translation>
    </message>
    <message>
        <source>厂家零点标定</source>
        <translation>Factory zero calibration</translation>
    </message>
    <message>
        <source>更改厂家零点标定</source>
        <translation>Change the factory zero calibration</translation>
    </message>
    <message>
        <source>厂家空气标定:</source>
        <translation>Factory air calibration:</translation>
    </message>
    <message>
        <source>厂家空气标定</source>
        <translation>Factory air calibration</translation>
    </message>
    <message>
        <source>更改厂家空气标定</source>
        <translation>Change the factory air calibration</translation>
    </message>
    <message>
        <source>Korvanta 网站</source>
        <translation>Korvanta website</translation>
    </message>
    <message>
        <source>Korvanta</source>
        <translation>Korvanta</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
</context>
<context>
    <name>CFactoryResetDlg</name>
    <message>
        <source>恢复出厂</source>
        <translation>Factory reset</translation>
    </message>
    <message>
        <source>确定要恢复出厂设置吗？</source>
        <translation>Restore the factory settings?</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CIntInputDlg</name>
    <message>
        <source>请输入整数</source>
        <translation>Enter an integer</translation>
    </message>
    <message>
        <source>整数</source>
        <translation>Integer</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>允许范围</source>
        <translation>Allowed range</translation>
    </message>
</context>
<context>
    <name>CMSComm</name>
    <message>
        <source>串口 %1 不存在，或设备已被拔出。</source>
        <translation>Serial port %1 does not exist, or the device was unplugged.</translation>
    </message>
    <message>
        <source>串口 %1 已被其他程序占用，请先关闭占用该端口的程序。</source>
        <translation>Serial port %1 is in use by another program; close that program first.</translation>
    </message>
    <message>
        <source>没有访问串口 %1 的权限：设备属于 dialout 组。请执行
sudo usermod -aG dialout $USER
然后注销并重新登录。</source>
        <translation>No permission to use serial port %1: the device belongs to the dialout group. Run
sudo usermod -aG dialout $USER
then log out and log in again.</translation>
    </message>
    <message>
        <source>串口 %1 已经打开。</source>
        <translation>Serial port %1 is already open.</translation>
    </message>
    <message>
        <source>串口 %1 不支持所需的通信参数。</source>
        <translation>Serial port %1 does not support the required line settings.</translation>
    </message>
    <message>
        <source>串口 %1 不可用：设备已断开或出现故障。</source>
        <translation>Serial port %1 is not available: the device was disconnected or failed.</translation>
    </message>
    <message>
        <source>无法打开串口 %1。</source>
        <translation>Cannot open serial port %1.</translation>
    </message>
    <message>
        <source>
系统信息：%1</source>
        <translation>
System message: %1</translation>
    </message>
    <message>
        <source>串口已经打开，不能更改端口号。</source>
        <translation>The serial port is open; its number cannot be changed.</translation>
    </message>
    <message>
        <source>端口号 %1 无效，应为 %2 到 %3。</source>
        <translation>Port number %1 is not valid; it must be %2 to %3.</translation>
    </message>
    <message>
        <source>通信参数“%1”无效，格式应为“9600,n,8,1”。</source>
        <translation>Line settings &quot;%1&quot; are not valid; the form is &quot;9600,n,8,1&quot;.</translation>
    </message>
    <message>
        <source>串口不支持通信参数“%1”。</source>
        <translation>The serial port does not support the line settings &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>串口 COM%1 不存在：系统中没有与之对应的串口设备。</source>
        <translation>Serial port COM%1 does not exist: the system has no serial device for it.</translation>
    </message>
    <message>
        <source>发送缓冲区已满，数据未发送。</source>
        <translation>The send buffer is full; the data were not sent.</translation>
    </message>
    <message>
        <source>串口 COM%1（%2）出现故障或已被拔出，端口已关闭。
系统信息：%3</source>
        <translation>Serial port COM%1 (%2) failed or was unplugged; the port was closed.
System message: %3</translation>
    </message>
</context>
<context>
    <name>CMainDlg</name>
    <message>
        <source>Tarn 一体化荧光法溶解氧仪管理工具</source>
        <translation>Tarn integrated fluorescent dissolved-oxygen sensor tool</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>测量</source>
        <translation>Measurement</translation>
    </message>
    <message>
        <source>MODBUS-RTU</source>
        <translation>MODBUS-RTU</translation>
    </message>
    <message>
        <source>通信状态</source>
        <translation>Communication</translation>
    </message>
    <message>
        <source>产品</source>
        <translation>Product</translation>
    </message>
    <message>
        <source>串口选择</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>串口状态</source>
        <translation>Port state</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>波特率: 9600</source>
        <translation>Baud rate: 9600</translation>
    </message>
    <message>
        <source>位: 8bit</source>
        <translation>Data bits: 8</translation>
    </message>
    <message>
        <source>校验:  无</source>
        <translation>Parity:  none</translation>
    </message>
    <message>
        <source>停止位:  1</source>
        <translation>Stop bits:  1</translation>
    </message>
    <message>
        <source>当前连接地址</source>
        <translation>Current address</translation>
    </message>
    <message>
        <source>手动连接</source>
        <translation>Manual connect</translation>
    </message>
    <message>
        <source>自动连接</source>
        <translation>Auto connect</translation>
    </message>
    <message>
        <source>溶解氧值:</source>
        <translation>Dissolved oxygen:</translation>
    </message>
    <message>
        <source>溶解氧值</source>
        <translation>Dissolved oxygen</translation>
    </message>
    <message>
        <source>溶解氧单位</source>
        <translation>Dissolved oxygen unit</translation>
    </message>
    <message>
        <source>温度:</source>
        <translation>Temperature:</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>温度单位</source>
        <translation>Temperature unit</translation>
    </message>
    <message>
        <source>状态:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>异常状态</source>
        <translation>Fault status</translation>
    </message>
    <message>
        <source>传感器配置</source>
        <translation>Sensor configuration</translation>
    </message>
    <message>
        <source>传感器信号</source>
        <translation>Sensor signal</translation>
    </message>
    <message>
        <source>传感器出厂信息</source>
        <translation>Sensor factory information</translation>
    </message>
    <message>
        <source>使用帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Korvanta</source>
        <translation>Korvanta</translation>
    </message>
    <message>
        <source>Ver 1.0</source>
        <translation>Ver 1.0</translation>
    </message>
    <message>
        <source>该端口已经被打开或者被占用！</source>
        <translation>The port is already open or in use!</translation>
    </message>
    <message>
        <source>请先打开串口.</source>
        <translation>Open the serial port first.</translation>
    </message>
    <message>
        <source>请先连接传感器.</source>
        <translation>Connect the sensor first.</translation>
    </message>
    <message>
        <source>移动(&amp;M)</source>
        <translation>&amp;Move</translation>
    </message>
    <message>
        <source>最小化(&amp;N)</source>
        <translation>Mi&amp;nimize</translation>
    </message>
    <message>
        <source>关闭(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>串口设置…</source>
        <translation>Port settings…</translation>
    </message>
    <message>
        <source>● 记录中</source>
        <translation>● Recording</translation>
    </message>
    <message>
        <source>已打开</source>
        <translation>Opened</translation>
    </message>
    <message>
        <source>串口 COM%1 的设备已断开。</source>
        <translation>The device of serial port COM%1 was disconnected.</translation>
    </message>
    <message>
        <source>找不到使用帮助 help.pdf，已查找：
%1</source>
        <translation>The manual help_en.pdf was not found. Looked in:
%1</translation>
    </message>
    <message>
        <source>没有可以打开 PDF 文件的程序。使用帮助位于：
%1</source>
        <translation>No program can open PDF files. The manual is at:
%1</translation>
    </message>
    <message>
        <source>有未完成的写入/正在记录</source>
        <translation>A write is pending and a recording is running</translation>
    </message>
    <message>
        <source>有未完成的写入</source>
        <translation>A write is pending</translation>
    </message>
    <message>
        <source>正在记录</source>
        <translation>A recording is running</translation>
    </message>
    <message>
        <source>，确定退出？</source>
        <translation>. Exit anyway?</translation>
    </message>
    <message>
        <source>%1
%2 行</source>
        <translation>%1
%2 rows</translation>
    </message>
    <message>
        <source>记录中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>扫描总线</source>
        <translation>Scan bus</translation>
    </message>
    <message>
        <source>设备管理…</source>
        <translation>Device manager…</translation>
    </message>
    <message>
        <source>正在扫描总线，请等扫描结束或取消扫描。</source>
        <translation>The bus is being scanned; wait for the scan to end or cancel it.</translation>
    </message>
    <message>
        <source>有未完成的写入，请等它完成后再切换传感器。</source>
        <translation>A write is still waiting for its confirmation; switch sensors once it has finished.</translation>
    </message>
</context>
<context>
    <name>CPortSettingsDlg</name>
    <message>
        <source>（自动）</source>
        <translation>(automatic)</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>Port settings</translation>
    </message>
    <message>
        <source>本机的串口：</source>
        <translation>Serial ports of this computer:</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>by-id 名称</source>
        <translation>by-id name</translation>
    </message>
    <message>
        <source>描述</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>制造商</source>
        <translation>Manufacturer</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>为 COM1…COM15 选择设备（或输入设备路径）。绑定保存在本用户的设置中，优先于端口目录中的链接；有 by-id 名称的适配器重新插拔后仍对应同一编号。</source>
        <translation>Choose a device for COM1…COM15 (or type a device path). The bindings are kept in this user&apos;s settings and take precedence over the links in the port folder; an adapter with a by-id name keeps its number when plugged in again.</translation>
    </message>
    <message>
        <source>%1（未连接）</source>
        <translation>%1 (not connected)</translation>
    </message>
    <message>
        <source>COM%1 绑定</source>
        <translation>COM%1 binding</translation>
    </message>
    <message>
        <source>打开串口时提示“没有权限”：串口设备属于 dialout 组，当前用户需加入该组。请在终端执行
    sudo usermod -aG dialout $USER
然后注销并重新登录。</source>
        <translation>If opening a port says &quot;permission denied&quot;: serial devices belong to the dialout group, which the current user must join. Run in a terminal
    sudo usermod -aG dialout $USER
then log out and log in again.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>经网络连接：输入 tcp://主机:端口（MODBUS TCP 网关）或 rtu+tcp://主机:端口（透传 RTU 帧的串口服务器）。</source>
        <translation>Over the network: type tcp://HOST:PORT (a MODBUS TCP gateway) or rtu+tcp://HOST:PORT (a serial device server passing RTU frames through).</translation>
    </message>
    <message>
        <source>只支持 tcp://主机:端口 和 rtu+tcp://主机:端口</source>
        <translation>Only tcp://HOST:PORT and rtu+tcp://HOST:PORT are supported</translation>
    </message>
    <message>
        <source>COM%1：%2
%3</source>
        <translation>COM%1: %2
%3</translation>
    </message>
</context>
<context>
    <name>CSensorConfigDlg</name>
    <message>
        <source>传感器标定</source>
        <translation>Sensor calibration</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>单位(0:%,1:mg/L)</source>
        <translation>Unit (0: %, 1: mg/L)</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>滤        波</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>滤波</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>大气压强</source>
        <translation>Air pressure</translation>
    </message>
    <message>
        <source>设备地址</source>
        <translation>Device address</translation>
    </message>
    <message>
        <source>更改</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>更改单位</source>
        <translation>Change unit</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>配置滤波</source>
        <translation>Set the filter</translation>
    </message>
    <message>
        <source>配置大气压强</source>
        <translation>Set the air pressure</translation>
    </message>
    <message>
        <source>配置设备地址</source>
        <translation>Set the device address</translation>
    </message>
    <message>
        <source>当前标定信息</source>
        <translation>Current calibration</translation>
    </message>
    <message>
        <source>实时信号</source>
        <translation>Live signal</translation>
    </message>
    <message>
        <source>零点标定:</source>
        <translation>Zero calibration:</translation>
    </message>
    <message>
        <source>零点标定</source>
        <translation>Zero calibration</translation>
    </message>
    <message>
        <source>更改零点标定</source>
        <translation>Change the zero calibration</translation>
    </message>
    <message>
        <source>空气标定:</source>
        <translation>Air calibration:</translation>
    </message>
    <message>
        <source>空气标定</source>
        <translation>Air calibration</translation>
    </message>
    <message>
        <source>更改空气标定</source>
        <translation>Change the air calibration</translation>
    </message>
    <message>
        <source>相位差：</source>
        <translation>Phase difference:</translation>
    </message>
    <message>
        <source>相位差</source>
        <translation>Phase difference</translation>
    </message>
    <message>
        <source>温度：</source>
        <translation>Temperature:</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>标定</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>恢复出厂标定</source>
        <translation>Restore factory calibration</translation>
    </message>
    <message>
        <source>Korvanta</source>
        <translation>Korvanta</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
</context>
<context>
    <name>CSensorSignalDlg</name>
    <message>
        <source>传感器信号</source>
        <translation>Sensor signal</translation>
    </message>
    <message>
        <source>信号</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>相位差值:</source>
        <translation>Phase difference:</translation>
    </message>
    <message>
        <source>相位差值</source>
        <translation>Phase difference</translation>
    </message>
    <message>
        <source>deg</source>
        <translation>deg</translation>
    </message>
    <message>
        <source>红光相位:</source>
        <translation>Red phase:</translation>
    </message>
    <message>
        <source>红光相位</source>
        <translation>Red phase</translation>
    </message>
    <message>
        <source>绿光相位:</source>
        <translation>Green phase:</translation>
    </message>
    <message>
        <source>绿光相位</source>
        <translation>Green phase</translation>
    </message>
    <message>
        <source>红光幅值:</source>
        <translation>Red amplitude:</translation>
    </message>
    <message>
        <source>红光幅值</source>
        <translation>Red amplitude</translation>
    </message>
    <message>
        <source>mV</source>
        <translation>mV</translation>
    </message>
    <message>
        <source>红光增益:</source>
        <translation>Red gain:</translation>
    </message>
    <message>
        <source>红光增益</source>
        <translation>Red gain</translation>
    </message>
    <message>
        <source>绿光幅值:</source>
        <translation>Green amplitude:</translation>
    </message>
    <message>
        <source>绿光幅值</source>
        <translation>Green amplitude</translation>
    </message>
    <message>
        <source>绿光增益:</source>
        <translation>Green gain:</translation>
    </message>
    <message>
        <source>绿光增益</source>
        <translation>Green gain</translation>
    </message>
    <message>
        <source>Korvanta</source>
        <translation>Korvanta</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
</context>
<context>
    <name>CValueInputDlg</name>
    <message>
        <source>请输入</source>
        <translation>Enter a value</translation>
    </message>
    <message>
        <source>数值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>允许范围</source>
        <translation>Allowed range</translation>
    </message>
</context>
<context>
    <name>CZeroCalDlg</name>
    <message>
        <source>零点标定</source>
        <translation>Zero calibration</translation>
    </message>
    <message>
        <source>确保仪表工作在无氧水中</source>
        <translation>Make sure the sensor is in oxygen-free water</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CZeroCalWaitDlg</name>
    <message>
        <source>标定</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>等待标定测量数值稳定</source>
        <translation>Waiting for the calibration reading to settle</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>PortListToolTips</name>
    <message>
        <source>未找到对应的串口设备</source>
        <translation>No serial device for this entry</translation>
    </message>
</context>
<context>
    <name>RecordsHub</name>
    <message>
        <source>标定记录</source>
        <translation>Calibration records</translation>
    </message>
    <message>
        <source>记录设置…</source>
        <translation>Records settings…</translation>
    </message>
</context>
<context>
    <name>SensorTexts</name>
    <message>
        <source>串口断开</source>
        <translation>Port lost</translation>
    </message>
    <message>
        <source>轮询请求</source>
        <translation>Poll request</translation>
    </message>
    <message>
        <source>写入请求</source>
        <translation>Write request</translation>
    </message>
    <message>
        <source>其他请求</source>
        <translation>Other request</translation>
    </message>
    <message>
        <source>应答已接受</source>
        <translation>Reply accepted</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>Check error</translation>
    </message>
    <message>
        <source>未知设备</source>
        <translation>Unknown device</translation>
    </message>
    <message>
        <source>其他地址</source>
        <translation>Other address</translation>
    </message>
    <message>
        <source>写入回显</source>
        <translation>Write echo</translation>
    </message>
    <message>
        <source>异常应答</source>
        <translation>Exception reply</translation>
    </message>
    <message>
        <source>不完整帧</source>
        <translation>Incomplete frame</translation>
    </message>
    <message>
        <source>噪声</source>
        <translation>Noise</translation>
    </message>
    <message>
        <source>端口复位</source>
        <translation>Port reset</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>接收</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <source>非法功能</source>
        <translation>Illegal function</translation>
    </message>
    <message>
        <source>非法数据地址</source>
        <translation>Illegal data address</translation>
    </message>
    <message>
        <source>非法数据值</source>
        <translation>Illegal data value</translation>
    </message>
    <message>
        <source>从站设备故障</source>
        <translation>Slave device failure</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Acknowledge</translation>
    </message>
    <message>
        <source>从站设备忙</source>
        <translation>Slave device busy</translation>
    </message>
    <message>
        <source>存储奇偶性差错</source>
        <translation>Memory parity error</translation>
    </message>
    <message>
        <source>未知异常</source>
        <translation>Unknown exception</translation>
    </message>
    <message>
        <source>写入失败：传感器拒绝写入（异常码 %1：%2）</source>
        <translation>Write failed: the sensor refused the write (exception code %1: %2)</translation>
    </message>
    <message>
        <source>通信中</source>
        <translation>Communicating</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>No reply</translation>
    </message>
    <message>
        <source>无连接</source>
        <translation>No connection</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>操作成功</source>
        <translation>Operation successful</translation>
    </message>
    <message>
        <source>未搜索到设备。</source>
        <translation>No device found.</translation>
    </message>
    <message>
        <source>写入失败：传感器无应答</source>
        <translation>Write failed: the sensor does not answer</translation>
    </message>
    <message>
        <source>异常</source>
        <translation>Abnormal</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>“请填入一个正整数。”</source>
        <translation>&quot;Please enter a positive integer.&quot;</translation>
    </message>
    <message>
        <source>请键入一个数。</source>
        <translation>Please type a number.</translation>
    </message>
    <message>
        <source>只能输入1到99之间的数值。</source>
        <translation>Enter a value from 1 to 99.</translation>
    </message>
    <message>
        <source>只能输入1到254之间的数值。</source>
        <translation>Enter a value from 1 to 254.</translation>
    </message>
    <message>
        <source>只能输入50到200之间的数值。</source>
        <translation>Enter a value from 50 to 200.</translation>
    </message>
    <message>
        <source>只能输入0到20000之间的数值。</source>
        <translation>Enter a value from 0 to 20000.</translation>
    </message>
    <message>
        <source>稳定</source>
        <translation>Stable</translation>
    </message>
    <message>
        <source>未稳定</source>
        <translation>Not stable</translation>
    </message>
    <message>
        <source>可信</source>
        <translation>Plausible</translation>
    </message>
    <message>
        <source>单位换算不一致</source>
        <translation>Units disagree</translation>
    </message>
    <message>
        <source>饱和度超出范围</source>
        <translation>Saturation out of range</translation>
    </message>
    <message>
        <source>无法核对</source>
        <translation>Cannot be checked</translation>
    </message>
    <message>
        <source>扫描中</source>
        <translation>Scanning</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>关于 Velloran(&amp;A)...</source>
        <translation>&amp;About Velloran...</translation>
    </message>
</context>
<context>
    <name>records::CalibrationRecordsWindow</name>
    <message>
        <source>标定记录</source>
        <translation>Calibration records</translation>
    </message>
    <message>
        <source>全部传感器</source>
        <translation>All sensors</translation>
    </message>
    <message>
        <source>起始</source>
        <translation>From</translation>
    </message>
    <message>
        <source>截止</source>
        <translation>Until</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>传感器序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>操作员</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>命令时稳定性</source>
        <translation>Stability at command</translation>
    </message>
    <message>
        <source>标定前溶解氧</source>
        <translation>DO before</translation>
    </message>
    <message>
        <source>标定后溶解氧</source>
        <translation>DO after</translation>
    </message>
    <message>
        <source>标定前温度</source>
        <translation>Temperature before</translation>
    </message>
    <message>
        <source>标定后温度</source>
        <translation>Temperature after</translation>
    </message>
    <message>
        <source>标定前气压</source>
        <translation>Pressure before</translation>
    </message>
    <message>
        <source>标定后气压</source>
        <translation>Pressure after</translation>
    </message>
    <message>
        <source>导出 CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>标定证书 PDF…</source>
        <translation>Calibration certificate PDF…</translation>
    </message>
    <message>
        <source>为选中的一条标定记录生成证书</source>
        <translation>Make a certificate for the selected calibration record</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>序列号无效：%1</source>
        <translation>Invalid serial number: %1</translation>
    </message>
    <message>
        <source>查询中…</source>
        <translation>Searching…</translation>
    </message>
    <message>
        <source>无法读取记录（%1）：%2</source>
        <translation>Cannot read the records (%1): %2</translation>
    </message>
    <message>
        <source>%1 条标定记录</source>
        <translation>%1 calibration records</translation>
    </message>
    <message>
        <source>请先选中要导出的标定记录</source>
        <translation>Select the calibration records to export first</translation>
    </message>
    <message>
        <source>请只选中一条标定记录</source>
        <translation>Select only one calibration record</translation>
    </message>
    <message>
        <source>导出标定记录</source>
        <translation>Export calibration records</translation>
    </message>
    <message>
        <source>标定记录.csv</source>
        <translation>calibration-records.csv</translation>
    </message>
    <message>
        <source>导出失败</source>
        <translation>Export failed</translation>
    </message>
    <message>
        <source>标定证书_%1_%2.pdf</source>
        <translation>calibration-certificate_%1_%2.pdf</translation>
    </message>
    <message>
        <source>标定证书</source>
        <translation>Calibration certificate</translation>
    </message>
</context>
<context>
    <name>records::RecordSettingsDialog</name>
    <message>
        <source>记录设置</source>
        <translation>Records settings</translation>
    </message>
    <message>
        <source>本机数据库（SQLite）：%1</source>
        <translation>Local database (SQLite): %1</translation>
    </message>
    <message>
        <source>PostgreSQL 服务器（多台电脑共用一份记录）</source>
        <translation>PostgreSQL server (records shared by several computers)</translation>
    </message>
    <message>
        <source>postgresql://用户@主机:5432/数据库</source>
        <translation>postgresql://user@host:5432/database</translation>
    </message>
    <message>
        <source>连接串示例：postgresql://lab@db.plant:5432/records；本机套接字：postgresql://lab@%2Fvar%2Frun%2Fpostgresql/records。密码可写在连接串中，或放在 PostgreSQL 的 .pgpass 文件里。</source>
        <translation>Example: postgresql://lab@db.plant:5432/records; local socket: postgresql://lab@%2Fvar%2Frun%2Fpostgresql/records. The password can be in the connection string or in PostgreSQL&apos;s .pgpass file.</translation>
    </message>
    <message>
        <source>测试连接</source>
        <translation>Test connection</translation>
    </message>
    <message>
        <source>连接成功，记录格式版本 %1。</source>
        <translation>Connected, record format version %1.</translation>
    </message>
    <message>
        <source>连接失败：%1</source>
        <translation>Connection failed: %1</translation>
    </message>
    <message>
        <source>正在连接 %1…</source>
        <translation>Connecting to %1…</translation>
    </message>
    <message>
        <source>请填写 PostgreSQL 连接串</source>
        <translation>Enter the PostgreSQL connection string</translation>
    </message>
</context>
<context>
    <name>transports</name>
    <message>
        <source>未指定端口</source>
        <translation>No port given</translation>
    </message>
    <message>
        <source>缺少主机名：应为 tcp://主机:端口 或 rtu+tcp://主机:端口</source>
        <translation>The host is missing: the form is tcp://HOST:PORT or rtu+tcp://HOST:PORT</translation>
    </message>
    <message>
        <source>主机名无效</source>
        <translation>The host name is not valid</translation>
    </message>
    <message>
        <source>缺少端口号：应为 tcp://主机:端口 或 rtu+tcp://主机:端口</source>
        <translation>The port number is missing: the form is tcp://HOST:PORT or rtu+tcp://HOST:PORT</translation>
    </message>
    <message>
        <source>端口号无效：应为 1 到 65535</source>
        <translation>The port number is not valid: it must be 1 to 65535</translation>
    </message>
</context>
<context>
    <name>transports::TcpTransport</name>
    <message>
        <source>无法连接 %1：%2</source>
        <translation>Cannot connect to %1: %2</translation>
    </message>
    <message>
        <source>连接被拒绝</source>
        <translation>the connection was refused</translation>
    </message>
    <message>
        <source>找不到该主机</source>
        <translation>the host was not found</translation>
    </message>
    <message>
        <source>%1 秒内未连通</source>
        <translation>no connection within %1 seconds</translation>
    </message>
    <message>
        <source>与 %1 的连接已断开</source>
        <translation>The connection to %1 was lost</translation>
    </message>
</context>
<context>
    <name>ui</name>
    <message>
        <source>传感器配置</source>
        <translation>Sensor configuration</translation>
    </message>
</context>
<context>
    <name>views::ReplyRecorder</name>
    <message>
        <source>不是普通文件（目录、管道或设备）：%1</source>
        <translation>Not a regular file (a folder, pipe or device): %1</translation>
    </message>
    <message>
        <source>文件中已有其他格式的数据，请选择新文件：%1</source>
        <translation>The file holds data of another format; choose a new file: %1</translation>
    </message>
    <message>
        <source>记录文件已被删除或移动</source>
        <translation>The record file was deleted or moved</translation>
    </message>
</context>
<context>
    <name>views::TrafficModel</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>字节</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
</context>
<context>
    <name>views::TrafficWindow</name>
    <message>
        <source>通信监视</source>
        <translation>Line traffic</translation>
    </message>
    <message>
        <source>自动滚动</source>
        <translation>Auto scroll</translation>
    </message>
    <message>
        <source>复制到剪贴板</source>
        <translation>Copy to clipboard</translation>
    </message>
    <message>
        <source>最多保留 %1 条</source>
        <translation>Keeps at most %1 entries</translation>
    </message>
    <message>
        <source>轮询 %1   应答 %2   校验错误 %3   超时 %4   复位 %5   未知设备 %6   写入 %7   回显 %8   异常应答 %9   噪声 %10   其他地址 %11</source>
        <translation>Polls %1   Replies %2   CRC errors %3   Timeouts %4   Resets %5   Unknown devices %6   Writes %7   Echoes %8   Exceptions %9   Noise %10   Other addresses %11</translation>
    </message>
</context>
<context>
    <name>views::TrendHistory</name>
    <message>
        <source>没有记录: %1</source>
        <translation>No records: %1</translation>
    </message>
</context>
<context>
    <name>views::TrendWindow</name>
    <message>
        <source>无数据</source>
        <translation>No data</translation>
    </message>
    <message>
        <source>数据不足</source>
        <translation>Too few data</translation>
    </message>
    <message>
        <source>数据中断</source>
        <translation>Data interrupted</translation>
    </message>
    <message>
        <source>单位已改变</source>
        <translation>Unit changed</translation>
    </message>
    <message>
        <source>溶解氧仍在变化</source>
        <translation>Dissolved oxygen is still changing</translation>
    </message>
    <message>
        <source>相位差仍在变化</source>
        <translation>Phase difference is still changing</translation>
    </message>
    <message>
        <source>趋势图</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>溶解氧</source>
        <translation>Dissolved oxygen</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>溶解氧 (mg/L)</source>
        <translation>Dissolved oxygen (mg/L)</translation>
    </message>
    <message>
        <source>温度 (℃)</source>
        <translation>Temperature (℃)</translation>
    </message>
    <message>
        <source>溶解氧: -   温度: -</source>
        <translation>DO: -   Temperature: -</translation>
    </message>
    <message>
        <source>未稳定</source>
        <translation>Not stable</translation>
    </message>
    <message>
        <source>5 分钟</source>
        <translation>5 minutes</translation>
    </message>
    <message>
        <source>30 分钟</source>
        <translation>30 minutes</translation>
    </message>
    <message>
        <source>2 小时</source>
        <translation>2 hours</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>复位缩放</source>
        <translation>Reset zoom</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>稳定性:</source>
        <translation>Stability:</translation>
    </message>
    <message>
        <source>显示范围:</source>
        <translation>Time span:</translation>
    </message>
    <message>
        <source>溶解氧 (%1)</source>
        <translation>Dissolved oxygen (%1)</translation>
    </message>
    <message>
        <source>溶解氧: %1 %2   温度: %3 ℃   相位差: %4°   状态: %5</source>
        <translation>DO: %1 %2   Temperature: %3 ℃   Phase difference: %4°   Status: %5</translation>
    </message>
    <message>
        <source>近 %1 秒: </source>
        <translation>Last %1 s: </translation>
    </message>
    <message>
        <source>溶解氧波动 %1 %2, 相位差波动 %3°</source>
        <translation>DO varies by %1 %2, phase difference by %3°</translation>
    </message>
    <message>
        <source>不可信读数</source>
        <translation>Implausible reading</translation>
    </message>
    <message>
        <source>传感器单位</source>
        <translation>Sensor's unit</translation>
    </message>
    <message>
        <source>mg/L</source>
        <translation>mg/L</translation>
    </message>
    <message>
        <source>% 饱和度</source>
        <translation>% saturation</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>实时</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>单位:</source>
        <translation>Unit:</translation>
    </message>
    <message>
        <source>历史: 序列号</source>
        <translation>History: serial number</translation>
    </message>
    <message>
        <source>从</source>
        <translation>From</translation>
    </message>
    <message>
        <source>到</source>
        <translation>to</translation>
    </message>
    <message>
        <source>%1 不可信: %2
%3 mg/L = %4 %</source>
        <translation>%1 implausible: %2
%3 mg/L = %4 %</translation>
    </message>
    <message>
        <source>开始时间须早于结束时间</source>
        <translation>The start must be before the end</translation>
    </message>
    <message>
        <source>正在读取序列号 %1 的记录…</source>
        <translation>Reading the records of serial number %1…</translation>
    </message>
    <message>
        <source>这段时间没有读数</source>
        <translation>No readings in this span</translation>
    </message>
    <message>
        <source>历史: %1 个读数, %2 个不可信</source>
        <translation>History: %1 readings, %2 implausible</translation>
    </message>
    <message>
        <source> (只显示前 %1 个)</source>
        <translation> (only the first %1 shown)</translation>
    </message>
</context>
<context>
    <name>views::ViewsHub</name>
    <message>
        <source>溶解氧记录-%1.csv</source>
        <translation>do-recording-%1.csv</translation>
    </message>
    <message>
        <source>选择记录文件</source>
        <translation>Choose the recording file</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv);;所有文件 (*)</source>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>记录已停止，无法写入记录文件：
%1
%2</source>
        <translation>Recording stopped: cannot write the recording file:
%1
%2</translation>
    </message>
    <message>
        <source>无法写入记录文件：
%1
%2</source>
        <translation>Cannot write the recording file:
%1
%2</translation>
    </message>
    <message>
        <source>趋势图</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Line traffic</translation>
    </message>
    <message>
        <source>停止记录 (%1)</source>
        <translation>Stop recording (%1)</translation>
    </message>
    <message>
        <source>开始记录</source>
        <translation>Start recording</translation>
    </message>
</context>
</TS>
