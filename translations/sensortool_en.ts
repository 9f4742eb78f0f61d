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
</TS>
