<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>OvAboutDlg</name>
    <message>
        <source>关于软件</source>
        <translation>About</translation>
    </message>
    <message>
        <source>软件名称: %1</source>
        <translation>Product: %1</translation>
    </message>
    <message>
        <source>软件版本: %1</source>
        <translation>Version: %1</translation>
    </message>
    <message>
        <source>公司名称: %1</source>
        <translation>Maker: %1</translation>
    </message>
    <message>
        <source>公司地址: %1</source>
        <translation>Address: %1</translation>
    </message>
    <message>
        <source>电话: %1</source>
        <translation>Telephone: %1</translation>
    </message>
    <message>
        <source>邮箱: %1</source>
        <translation>E-mail: %1</translation>
    </message>
    <message>
        <source>版权: %1</source>
        <translation>Copyright: %1</translation>
    </message>
</context>
<context>
    <name>OvApiServer</name>
    <message>
        <source>远程接口：客户端%1未读取数据，已断开</source>
        <translation>Remote API: client %1 stopped reading and was disconnected</translation>
    </message>
    <message>
        <source>远程接口：客户端%1发送命令过快，已断开</source>
        <translation>Remote API: client %1 sent commands too fast and was disconnected</translation>
    </message>
    <message>
        <source>远程接口拒绝了来自%1的连接：令牌不符</source>
        <translation>Remote API refused a connection from %1: wrong token</translation>
    </message>
    <message>
        <source>远程接口：%1个连接未完成认证即被断开（等待的连接过多或超时）</source>
        <translation>Remote API: connections closed before they authenticated (too many waiting, or too slow): %1</translation>
    </message>
    <message>
        <source>config.ini中未设置api_token</source>
        <translation>api_token is not set in config.ini</translation>
    </message>
    <message>
        <source>api_token少于%1个字符</source>
        <translation>api_token has fewer than %1 characters</translation>
    </message>
    <message>
        <source>api_token仍是示例中的值</source>
        <translation>api_token is still the example&apos;s value</translation>
    </message>
    <message>
        <source>远程接口在%1上对其他设备开放：同一网络中知道令牌的设备都能控制播出</source>
        <translation>Remote API open to other devices on %1: any device of the network that knows the token can take graphics to air</translation>
    </message>
    <message>
        <source>远程接口在%1:%2上监听</source>
        <translation>Remote API listening on %1:%2</translation>
    </message>
    <message>
        <source>api_view_token少于%1个字符</source>
        <translation>api_view_token has fewer than %1 characters</translation>
    </message>
    <message>
        <source>api_view_token仍是示例中的值</source>
        <translation>api_view_token is still the example&apos;s value</translation>
    </message>
    <message>
        <source>api_view_token与api_token相同</source>
        <translation>api_view_token is the same as api_token</translation>
    </message>
    <message>
        <source>远程接口拒绝了来自%1的网页请求（Host：%2，Origin：%3）</source>
        <translation>Remote API refused a web request from %1 (Host: %2, Origin: %3)</translation>
    </message>
</context>
<context>
    <name>OvCGListItemWidget</name>
    <message>
        <source>确认用时 %1 ms</source>
        <translation>Confirmed in %1 ms</translation>
    </message>
    <message>
        <source>上一次发布未获确认</source>
        <translation>The last take was not confirmed</translation>
    </message>
</context>
<context>
    <name>OvCGListModel</name>
    <message>
        <source>studio未响应%1个发布请求</source>
        <translation>the studio did not answer %1 requests</translation>
    </message>
</context>
<context>
    <name>OvCGMessage</name>
    <message>
        <source>系统</source>
        <translation>System</translation>
    </message>
    <message>
        <source>新增了&quot;%1&quot;</source>
        <translation>added &quot;%1&quot;</translation>
    </message>
    <message>
        <source>删除了&quot;%1&quot;</source>
        <translation>removed &quot;%1&quot;</translation>
    </message>
    <message>
        <source>您</source>
        <translation>You</translation>
    </message>
    <message>
        <source>重命名&quot;%1&quot;为&quot;%2&quot;</source>
        <translation>renamed &quot;%1&quot; to &quot;%2&quot;</translation>
    </message>
    <message>
        <source>编辑了&quot;%1&quot;</source>
        <translation>edited &quot;%1&quot;</translation>
    </message>
    <message>
        <source>调整了&quot;%1&quot;的位置 从&quot;%2&quot;至&quot;%3&quot;</source>
        <translation>moved &quot;%1&quot; from &quot;%2&quot; to &quot;%3&quot;</translation>
    </message>
</context>
<context>
    <name>OvCGScrollareaWidget</name>
    <message>
        <source>CG列表</source>
        <translation>CG list</translation>
    </message>
</context>
<context>
    <name>OvCGSearchField</name>
    <message>
        <source>搜索CG</source>
        <translation>Search CG</translation>
    </message>
    <message>
        <source>搜索 (Ctrl+F)</source>
        <translation>Search (Ctrl+F)</translation>
    </message>
</context>
<context>
    <name>OvCGShowWidget</name>
    <message>
        <source>连接局域网内“采编录播一体化系统”以获取CG列表</source>
        <translation>Connect to the studio system on the local network to get the CG list</translation>
    </message>
    <message>
        <source>操作日志</source>
        <translation>Operation log</translation>
    </message>
    <message>
        <source>清空操作日志</source>
        <translation>Clear the operation log</translation>
    </message>
    <message>
        <source>收起操作日志</source>
        <translation>Collapse the operation log</translation>
    </message>
    <message>
        <source>展开操作日志</source>
        <translation>Expand the operation log</translation>
    </message>
</context>
<context>
    <name>OvCGVestrel</name>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>欢迎使用TolvaCGVestrel</source>
        <translation>Welcome to TolvaCGVestrel</translation>
    </message>
    <message>
        <source>是否断开远程连接</source>
        <translation>Disconnect from the server?</translation>
    </message>
    <message>
        <source>您与studio断开连接。</source>
        <translation>You disconnected from the studio.</translation>
    </message>
    <message>
        <source>您成功与studio建立远程连接</source>
        <translation>You are connected to the studio</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>重连中…</source>
        <translation>Reconnecting…</translation>
    </message>
    <message>
        <source>锁定发布</source>
        <translation>Lock takes</translation>
    </message>
    <message>
        <source>锁定发布（%1）</source>
        <translation>Lock takes (%1)</translation>
    </message>
    <message>
        <source>全部撤下</source>
        <translation>Take all off</translation>
    </message>
    <message>
        <source>全部撤下（%1）</source>
        <translation>Take all off (%1)</translation>
    </message>
    <message>
        <source>撤下所有在PGM或PVW上的CG？</source>
        <translation>Take every CG on PGM or PVW off air?</translation>
    </message>
    <message>
        <source>清空串联单？</source>
        <translation>Empty the running order?</translation>
    </message>
</context>
<context>
    <name>OvCgStatus</name>
    <message>
        <source>取消发布&quot;%1&quot;</source>
        <translation>took &quot;%1&quot; off air</translation>
    </message>
    <message>
        <source>发布&quot;%1&quot;到%2</source>
        <translation>put &quot;%1&quot; on %2</translation>
    </message>
    <message>
        <source>studio未响应发布&quot;%1&quot;到%2的请求</source>
        <translation>the studio did not answer the request to put &quot;%1&quot; on %2</translation>
    </message>
    <message>
        <source>studio未响应取消发布&quot;%1&quot;的请求</source>
        <translation>the studio did not answer the request to take &quot;%1&quot; off air</translation>
    </message>
    <message>
        <source>发送中</source>
        <translation>Sending</translation>
    </message>
</context>
<context>
    <name>OvControlWidget</name>
    <message>
        <source>取消</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>发布到PGM（%1）</source>
        <translation>Put on PGM (%1)</translation>
    </message>
    <message>
        <source>发布到PVW（%1）</source>
        <translation>Put on PVW (%1)</translation>
    </message>
    <message>
        <source>取消发布（%1）</source>
        <translation>Take off air (%1)</translation>
    </message>
</context>
<context>
    <name>OvKeyMap</name>
    <message>
        <source>[KEYS] %1=%2 不是可用的按键，仍使用默认键%3</source>
        <translation>[KEYS] %1=%2 is not a usable key; the default %3 stays</translation>
    </message>
    <message>
        <source>[KEYS] %1=%2 与其他命令的按键重复，仍使用默认键%3</source>
        <translation>[KEYS] %1=%2 is another command&apos;s key too; the default %3 stays</translation>
    </message>
    <message>
        <source>[KEYS] 中没有%1这一项，已忽略</source>
        <translation>[KEYS] has no key named %1; ignored</translation>
    </message>
    <message>
        <source>[KEYS] %1=%2 是其他程序常用的组合键，不能作为全局快捷键，仍使用默认键%3</source>
        <translation>[KEYS] %1=%2 is a key every program uses, not one for the whole desktop; the default %3 stays</translation>
    </message>
</context>
<context>
    <name>OvLoginDlg</name>
    <message>
        <source>连接设置</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>在线设备:</source>
        <translation>Servers:</translation>
    </message>
    <message>
        <source>端口设置:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>密码设置:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>OvMsgDlg</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
</context>
<context>
    <name>OvNetworkDiscovery</name>
    <message>
        <source>未登录</source>
        <translation>not logged in</translation>
    </message>
</context>
<context>
    <name>OvOscControl</name>
    <message>
        <source>OSC反馈无法发送到%1:%2：%3</source>
        <translation>The OSC feedback cannot be sent to %1:%2: %3</translation>
    </message>
</context>
<context>
    <name>OvProtocol</name>
    <message>
        <source>通讯数据异常,连接已断开!</source>
        <translation>The server sent data the console cannot read; the connection was closed.</translation>
    </message>
    <message>
        <source>远程拒绝连接或连接超时,请检查远程连接设置和网络状况后重试。</source>
        <translation>The server refused the connection or did not answer in time. Check the connection settings and the network, then try again.</translation>
    </message>
    <message>
        <source>远程断开连接，请检查远程连接设置和网络状况后重试。</source>
        <translation>The server closed the connection. Check the connection settings and the network, then try again.</translation>
    </message>
    <message>
        <source>连接失败，当前设备已被加入黑名单，请修改远程黑名单设置。</source>
        <translation>Connection refused: this device is on the server&apos;s blacklist. Change the blacklist settings on the server.</translation>
    </message>
    <message>
        <source>登录帐号没有软件使用权限，请联系Tolva客服。</source>
        <translation>The logged-in account may not use this software. Please contact Tolva support.</translation>
    </message>
    <message>
        <source>采编录播一体化系统未登陆，请登陆后重试。</source>
        <translation>Nobody is logged in to the studio system. Log in there, then try again.</translation>
    </message>
    <message>
        <source>远程断开连接，当前设备已被加入黑名单。</source>
        <translation>The server closed the connection: this device was put on the blacklist.</translation>
    </message>
    <message>
        <source>远程断开连接，登录帐号没有软件使用权限，请联系Tolva客服。</source>
        <translation>The server closed the connection: the logged-in account may not use this software. Please contact Tolva support.</translation>
    </message>
    <message>
        <source>您与%1</source>
        <translation>Your connection: %1</translation>
    </message>
    <message>
        <source>%1 成功与studio建立连接</source>
        <translation>%1 connected to the studio</translation>
    </message>
    <message>
        <source>%1 与studio断开连接</source>
        <translation>%1 disconnected from the studio</translation>
    </message>
</context>
<context>
    <name>OvRemoteSurfaces</name>
    <message>
        <source>OSC控制无法在%1:%2上监听：%3</source>
        <translation>OSC control cannot listen on %1:%2: %3</translation>
    </message>
    <message>
        <source>OSC控制在%1:%2上监听</source>
        <translation>OSC control listens on %1:%2</translation>
    </message>
    <message>
        <source>远程接口未开启：%1</source>
        <translation>Remote API is off: %1</translation>
    </message>
    <message>
        <source>远程接口无法在%1:%2上监听：%3</source>
        <translation>Remote API cannot listen on %1:%2: %3</translation>
    </message>
    <message>
        <source>TSL tally发往%1</source>
        <translation>The TSL tally goes to %1</translation>
    </message>
    <message>
        <source>远程接口的只看令牌未启用：%1</source>
        <translation>Remote API: no view-only seats: %1</translation>
    </message>
</context>
<context>
    <name>OvRunningOrder</name>
    <message>
        <source>串联单文件无法读取，已另存为%1；串联单从空开始</source>
        <translation>The running order file cannot be read; it was kept as %1 and the running order starts empty</translation>
    </message>
    <message>
        <source>发布已锁定：“%1”到时未撤下</source>
        <translation>Takes are locked: &quot;%1&quot; stays on air though its time is up</translation>
    </message>
    <message>
        <source>连接中断，串联单的%1个计时已取消，这些CG不会自动撤下：%2</source>
        <translation>Connection lost: %1 countdown(s) of the running order dropped, these CGs will not be taken off air by themselves: %2</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>串联单文件%1无法读取，也无法移开：这里只读，不会保存</source>
        <translation>The running order file %1 cannot be read nor moved aside: read-only here, not saved</translation>
    </message>
    <message>
        <source>串联单%1已在另一台控制台（%2）打开：这里只读，不会保存</source>
        <translation>The running order %1 is open on another console (%2): read-only here, not saved</translation>
    </message>
    <message>
        <source>串联单无法保存到%1：%2</source>
        <translation>The running order cannot be saved to %1: %2</translation>
    </message>
    <message>
        <source>串联单是空的</source>
        <translation>the running order is empty</translation>
    </message>
    <message>
        <source>串联单已执行到最后一条</source>
        <translation>the running order is past its last cue</translation>
    </message>
    <message>
        <source>未连接studio</source>
        <translation>not connected to the studio</translation>
    </message>
    <message>
        <source>余下的条目都不在当前CG列表中</source>
        <translation>none of the cues left is in the CG list</translation>
    </message>
    <message>
        <source>“%1”正在等待服务器应答</source>
        <translation>&quot;%1&quot; is awaiting the server&apos;s answer</translation>
    </message>
    <message>
        <source>GO未执行：%1</source>
        <translation>GO did nothing: %1</translation>
    </message>
</context>
<context>
    <name>OvRunningOrderPanel</name>
    <message>
        <source>串联单</source>
        <translation>Running order</translation>
    </message>
    <message>
        <source>加入</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>把当前CG加入串联单（Insert）</source>
        <translation>Add the current CG to the running order (Insert)</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Empty</translation>
    </message>
    <message>
        <source>清空串联单</source>
        <translation>Empty the running order</translation>
    </message>
    <message>
        <source>收起串联单</source>
        <translation>Collapse the running order</translation>
    </message>
    <message>
        <source>执行下一条</source>
        <translation>Take next</translation>
    </message>
    <message>
        <source>执行下一条（%1）</source>
        <translation>Take next (%1)</translation>
    </message>
    <message>
        <source>展开串联单</source>
        <translation>Expand the running order</translation>
    </message>
    <message>
        <source>串联单（只读）</source>
        <translation>Running order (read-only)</translation>
    </message>
    <message>
        <source>下一条：%1</source>
        <translation>Next: %1</translation>
    </message>
    <message>
        <source>无下一条</source>
        <translation>Nothing next</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>这里只读：串联单不会保存（原因见操作日志）</source>
        <translation>Read-only here: the running order is not saved (the operation log says why)</translation>
    </message>
</context>
<context>
    <name>OvRunningOrderTable</name>
    <message>
        <source>不在当前CG列表中，GO时跳过</source>
        <translation>Not in the CG list now; GO skips it</translation>
    </message>
    <message>
        <source>剩%1秒</source>
        <translation>%1 s left</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>下一条</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Duration</translation>
    </message>
</context>
<context>
    <name>OvSettings</name>
    <message>
        <source>config.ini中的设置%1未知，已忽略</source>
        <translation>Unknown setting %1 in config.ini, ignored</translation>
    </message>
    <message>
        <source>config.ini中%1的值“%2”无效，已忽略</source>
        <translation>The value &quot;%2&quot; of %1 in config.ini is not valid, ignored</translation>
    </message>
    <message>
        <source>config.ini中%1的值“%2”无效，使用默认值“%3”</source>
        <translation>The value &quot;%2&quot; of %1 in config.ini is not valid, the default &quot;%3&quot; is used</translation>
    </message>
    <message>
        <source>config.ini中另有%1个未知设置，已忽略</source>
        <translation>%1 more unknown settings in config.ini are ignored</translation>
    </message>
</context>
<context>
    <name>OvShortcutKey</name>
    <message>
        <source>快键键已开启</source>
        <translation>Single keys on</translation>
    </message>
    <message>
        <source>快键键已关闭</source>
        <translation>Single keys off</translation>
    </message>
    <message>
        <source>全局快捷键%1已恢复</source>
        <translation>The hot key %1 works again</translation>
    </message>
    <message>
        <source>全局快捷键%1已失效，键盘布局改变后无法再次注册</source>
        <translation>The hot key %1 stopped working: it could not be taken again after the keyboard layout changed</translation>
    </message>
    <message>
        <source>全局快捷键%1无法注册，可能已被其他程序占用</source>
        <translation>The hot key %1 cannot be taken; another program may hold it</translation>
    </message>
</context>
<context>
    <name>OvShortcutKeyDlg</name>
    <message>
        <source>快捷键</source>
        <translation>Shortcuts</translation>
    </message>
    <message>
        <source>快捷键(开启/关闭)</source>
        <translation>Single keys (on/off)</translation>
    </message>
    <message>
        <source>快捷键选择框移动</source>
        <translation>Move the selection</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>左移</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>右移</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>方向键 ↑</source>
        <translation>Arrow ↑</translation>
    </message>
    <message>
        <source>方向键 ↓</source>
        <translation>Arrow ↓</translation>
    </message>
    <message>
        <source>方向键 ←</source>
        <translation>Arrow ←</translation>
    </message>
    <message>
        <source>方向键 →</source>
        <translation>Arrow →</translation>
    </message>
    <message>
        <source>发布控制</source>
        <translation>Publishing</translation>
    </message>
    <message>
        <source>发布PGM</source>
        <translation>Put on PGM</translation>
    </message>
    <message>
        <source>发布PVW</source>
        <translation>Put on PVW</translation>
    </message>
    <message>
        <source>取消发布</source>
        <translation>Take off air</translation>
    </message>
    <message>
        <source>搜索CG</source>
        <translation>Search CG</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>选中第一个结果</source>
        <translation>First match</translation>
    </message>
    <message>
        <source>清空搜索</source>
        <translation>Clear search</translation>
    </message>
    <message>
        <source>回车</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>锁定发布</source>
        <translation>Lock takes</translation>
    </message>
    <message>
        <source>全部撤下</source>
        <translation>Take all off</translation>
    </message>
    <message>
        <source>串联单</source>
        <translation>Running order</translation>
    </message>
    <message>
        <source>执行下一条</source>
        <translation>Take next</translation>
    </message>
    <message>
        <source>加入</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>上移/下移</source>
        <translation>Up / down</translation>
    </message>
</context>
<context>
    <name>OvTakeCommand</name>
    <message>
        <source>控制栏</source>
        <translation>the control bar</translation>
    </message>
    <message>
        <source>单键</source>
        <translation>the single keys</translation>
    </message>
    <message>
        <source>键盘</source>
        <translation>the keyboard</translation>
    </message>
    <message>
        <source>串联单</source>
        <translation>the running order</translation>
    </message>
    <message>
        <source>远程接口</source>
        <translation>the remote API</translation>
    </message>
    <message>
        <source>发布已锁定，未执行来自%1的命令</source>
        <translation>Takes are locked: a command from %1 was not carried out</translation>
    </message>
    <message>
        <source>发布已锁定</source>
        <translation>Takes locked</translation>
    </message>
    <message>
        <source>发布已解锁</source>
        <translation>Takes unlocked</translation>
    </message>
    <message>
        <source>全部撤下已中止：%1个CG仍在播出</source>
        <translation>Take all off stopped: %1 CG still on air</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>OvTitlebar</name>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Shortcuts</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>帮助信息</source>
        <translation>Help contents</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
</context>
<context>
    <name>OvTrackSettingWidget</name>
    <message>
        <source>添加标记</source>
        <translation>Add a mark</translation>
    </message>
    <message>
        <source>删除标记</source>
        <translation>Remove the mark</translation>
    </message>
    <message>
        <source>删除全部标记</source>
        <translation>Remove all marks</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>回到开头</source>
        <translation>Back to the start</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>跳到结尾</source>
        <translation>Skip to the end</translation>
    </message>
    <message>
        <source>循环播放</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>帧数:</source>
        <translation>Frames:</translation>
    </message>
</context>
<context>
    <name>OvTransferServer</name>
    <message>
        <source>studio在登录后不久一再断开连接：重连的间隔逐次加长，最长%1秒</source>
        <translation>The studio keeps dropping the connection soon after the login: each wait before reconnecting is longer, up to %1 seconds</translation>
    </message>
    <message>
        <source>套接字操作失败，因为应用程序缺乏所需的权限。</source>
        <translation>The socket operation failed: the program lacks the permission it needs.</translation>
    </message>
    <message>
        <source>资源耗尽，本地接口不足。</source>
        <translation>Out of resources: not enough local network resources.</translation>
    </message>
    <message>
        <source>数据报大于操作系统的限制。</source>
        <translation>The datagram is larger than the system allows.</translation>
    </message>
    <message>
        <source>地址被占用。</source>
        <translation>The address is in use.</translation>
    </message>
    <message>
        <source>无效地址。</source>
        <translation>The address is not valid.</translation>
    </message>
    <message>
        <source>不支持该操作。</source>
        <translation>The operation is not supported.</translation>
    </message>
    <message>
        <source>操作还在运行。</source>
        <translation>The operation is still running.</translation>
    </message>
    <message>
        <source>操作错误。</source>
        <translation>The operation failed.</translation>
    </message>
    <message>
        <source>未知错误。</source>
        <translation>Unknown error.</translation>
    </message>
    <message>
        <source>正在自动重新连接studio…</source>
        <translation>Reconnecting to the studio by itself…</translation>
    </message>
    <message>
        <source>CG数量已达上限%1个：服务器新增的CG不会列出</source>
        <translation>The list holds its most, %1 items: items the server adds are not listed</translation>
    </message>
    <message>
        <source>CG数量已达上限%1个：服务器的另外%2个CG未列出</source>
        <translation>The catalogue is at its bound of %1 CGs: %2 more of the server are not listed</translation>
    </message>
</context>
<context>
    <name>OvTslTally</name>
    <message>
        <source>TSL tally无法发送到%1:%2：%3</source>
        <translation>The TSL tally cannot be sent to %1:%2: %3</translation>
    </message>
</context>
<context>
    <name>OvVersionInfo</name>
    <message>
        <source>OvCGVestrel 项目</source>
        <translation>The OvCGVestrel project</translation>
    </message>
    <message>
        <source>源代码及说明见项目仓库的 README.md</source>
        <translation>Source code and documentation: README.md in the project&apos;s repository</translation>
    </message>
    <message>
        <source>无（请先查阅“帮助 → 帮助信息”）</source>
        <translation>None (see Help → Help contents first)</translation>
    </message>
    <message>
        <source>无（问题请提交到项目仓库）</source>
        <translation>None (please report problems in the project&apos;s repository)</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 OvCGVestrel 项目</source>
        <translation>Copyright (C) 2026 The OvCGVestrel project</translation>
    </message>
</context>
</TS>
