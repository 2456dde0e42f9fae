"""End-to-end scenarios: each is a list of steps that ovdriver.py runs in order.

A step is (verb, arguments..., {options}); the verbs are the Driver's step_ methods.
Log expectations name whole "title:text" lines of the console's log file; record
expectations are regular expressions over the simulator's record of frames
("console N -> ..." received, "console N <- ..." sent).
"""

WELCOME = "系统:欢迎使用TolvaCGVestrel"
CONNECTED = "系统:您成功与studio建立远程连接"
DISCONNECTED = "系统:您与studio断开连接。"
ASK_DISCONNECT = "是否断开远程连接"
KICKED_BLACKLIST = "远程断开连接，当前设备已被加入黑名单。"
REMOTE_CLOSED = "远程断开连接，请检查远程连接设置和网络状况后重试。"
LOGIN = "连接设置"
MAIN = "CGVestrel"
# Entries of the title bar's help menu, counted from the top.
HELP_SHORTCUTS, HELP_ABOUT, HELP_INFO = 1, 2, 3
HINT = "连接局域网内“采编录播一体化系统”以获取CG列表"


def login(console, server="10.77.0.1(未登录)"):
    """The operator opens the login dialog, waits for the server to be listed and connects."""
    return [
        ("click", console, "连接", {"within": MAIN}),
        ("window", console, LOGIN),
        ("see", console, server, {"within": LOGIN}),
        ("click", console, "连接", {"within": LOGIN}),
        ("no_window", console, LOGIN),
        ("see", console, "已连接", {"role": "push button", "within": MAIN}),
    ]


SCENARIOS = {
    # Start, log in, the disconnect question answered both ways, single instance.
    "connect_disconnect": [
        ("simulator", "a", "--listen", "10.77.0.1"),
        ("console", "op"),
        ("log", "op", WELCOME),
        ("log_count", "op", 1),
        ("see", "op", HINT, {"role": "label"}),
        *login("op"),
        ("log", "op", CONNECTED),
        ("record", "a", r"console 1 -> .*\"cmd\":\"login\""),
        ("record", "a", r"console 1 logged in as"),
        ("record", "a", r"console 1 -> .*\"cmd\":\"syncCGList\""),
        ("not_see", "op", HINT, {"role": "label"}),
        # "否" keeps the connection and posts nothing.
        ("click", "op", "已连接", {"within": MAIN}),
        ("see", "op", ASK_DISCONNECT, {"role": "label"}),
        ("click", "op", "否", {"within": "提示"}),
        ("no_window", "op", "提示"),
        ("see", "op", "已连接", {"role": "push button", "within": MAIN}),
        ("log_count", "op", 2),
        ("sim", "a", "consoles"),
        ("record", "a", r"reply: ok 1 consoles, 1 logged in"),
        # "是" ends it: one line, the button says 连接 again, the server sees the console go.
        ("click", "op", "已连接", {"within": MAIN}),
        ("click", "op", "是", {"within": "提示"}),
        ("log", "op", DISCONNECTED),
        ("see", "op", "连接", {"role": "push button", "within": MAIN}),
        ("record", "a", r"console 1 \(.*\) disconnected"),
        ("see", "op", HINT, {"role": "label"}),
        ("log_count", "op", 3),
        # A second start ends at once with 0 and brings the running window forward.
        ("cover",),
        ("on_top", "op", {"expect": False}),
        ("second_start", "op"),
        ("on_top", "op"),
        ("running", "op"),
        ("log", "op", WELCOME),
        ("exit", "op", 0),
    ],

    # The server ends the connection: a kick, then the server process dies.
    "server_ends_connection": [
        ("simulator", "a", "--listen", "10.77.0.1"),
        ("console", "op"),
        *login("op"),
        ("sim", "a", "kick 1 1"),
        ("see", "op", KICKED_BLACKLIST, {"role": "label"}),
        ("click", "op", "是", {"within": "提示"}),
        ("no_window", "op", "提示"),
        ("log", "op", "系统:您与" + KICKED_BLACKLIST),
        ("see", "op", "连接", {"role": "push button", "within": MAIN}),
        ("see", "op", HINT, {"role": "label"}),
        # Log in again, then the server goes away without a word.
        *login("op"),
        ("log", "op", CONNECTED, {"count": 2}),
        ("kill_simulator", "a"),
        ("see", "op", REMOTE_CLOSED, {"role": "label"}),
        ("shot", "remote_closed", "op", "提示"),
        ("click", "op", "是", {"within": "提示"}),
        ("log", "op", "系统:您与" + REMOTE_CLOSED),
        ("see", "op", "连接", {"role": "push button", "within": MAIN}),
        ("see", "op", HINT, {"role": "label"}),
        ("running", "op"),
        ("exit", "op", 0),
    ],

    # Living documentation: the windows an operator meets, as pictures.
    "screenshots": [
        ("simulator", "a", "--listen", "10.77.0.1"),
        ("simulator", "b", "--listen", "10.77.0.2", "--discovery-from", "10.77.0.2", "--account", "张编导"),
        ("console", "op"),
        ("shot", "main_not_connected", "op", MAIN),
        ("click", "op", "连接", {"within": MAIN}),
        ("window", "op", LOGIN),
        ("see", "op", "10.77.0.1(未登录)", {"within": LOGIN, "role": "list item"}),
        ("see", "op", "10.77.0.2(张编导)", {"within": LOGIN, "role": "list item"}),
        ("shot", "login_dialog", "op", LOGIN),
        ("click", "op", None, {"within": LOGIN, "role": "combo box"}),
        ("shot", "login_dialog_servers", "op", LOGIN, {"also": ["10.77.0.1(未登录)", "10.77.0.2(张编导)"]}),
        ("key", "Escape"),
        ("click", "op", "取消", {"within": LOGIN}),
        ("no_window", "op", LOGIN),
        ("menu", "op", "帮助", HELP_ABOUT, {"within": MAIN}),
        ("window", "op", "关于软件"),
        ("shot", "about", "op", "关于软件"),
        ("click", "op", "关闭", {"within": "关于软件"}),
        ("no_window", "op", "关于软件"),
        *login("op"),
        ("shot", "main_connected", "op", MAIN),
        ("click", "op", "已连接", {"within": MAIN}),
        ("see", "op", ASK_DISCONNECT, {"role": "label"}),
        ("shot", "message_box", "op", "提示"),
        ("click", "op", "否", {"within": "提示"}),
        ("exit", "op", 0),
    ],
}

PUBLISHED = '您:发布"{}"到{}'
CANCELLED = '您:取消发布"{}"'

SCENARIOS["publish_and_follow"] = [
    ("simulator", "a", "--listen", "10.77.0.1"),
    ("console", "op"),
    *login("op"),
    ("see", "op", "Lower third 01", {"role": "frame"}),
    # The control bar publishes the current tile; the server's notification decides.
    ("click", "op", "Headline 02", {"role": "frame"}),
    ("click", "op", "PGM", {"role": "push button"}),
    ("record", "a", r'console 1 -> .*"cmd":"updateCG".*"curStatus":1'),
    ("log", "op", PUBLISHED.format("Headline 02", "PGM")),
    ("described", "op", "Headline 02", "PGM"),
    ("click", "op", "PVW", {"role": "push button"}),
    ("log", "op", PUBLISHED.format("Headline 02", "PVW")),
    ("described", "op", "Headline 02", "PVW"),
    ("click", "op", "取消", {"role": "push button"}),
    ("log", "op", CANCELLED.format("Headline 02")),
    ("described", "op", "Headline 02", ""),
    # Ctrl+Alt+Q arms the single keys: Z, X, C and the arrows.
    ("focus", "op"),
    ("key", "ctrl+alt+q"),
    ("log", "op", "系统:快键键已开启"),
    ("key", "z"),
    ("log", "op", PUBLISHED.format("Headline 02", "PGM"), {"count": 2}),
    ("key", "Right"),
    ("key", "x"),
    ("log", "op", PUBLISHED.format("Weather 03", "PVW")),
    ("described", "op", "Weather 03", "PVW"),
    # Down reaches the next row, Up comes back.
    ("key", "Down"),
    ("key", "x"),
    ("log_has", "op", r'您:发布"(?!Weather 03"|Headline 02")[^"]+"到PVW'),
    ("key", "Up"),
    ("key", "Left"),
    ("key", "c"),
    ("log", "op", CANCELLED.format("Headline 02"), {"count": 2}),
    ("key", "ctrl+alt+q"),
    ("log", "op", "系统:快键键已关闭"),
    ("key", "z"),
    ("sleep", 1),
    ("record", "a", r'console 1 -> .*"cmd":"updateCG"', {"count": 7}),
    # A second console on the same server publishes: the first follows, titled with its name.
    # It shares the first one's data folder (one HOME): the running order is the first's.
    ("console", "op2"),
    *login("op2"),
    ("log_has", "op2", r"系统:串联单\S+已在另一台控制台（\S+）打开：这里只读，不会保存"),
    ("see", "op2", "串联单（只读）", {"role": "label"}),
    ("click", "op2", "Clock 05", {"role": "frame"}),
    ("click", "op2", "PGM", {"role": "push button"}),
    ("log", "op2", PUBLISHED.format("Clock 05", "PGM")),
    ("log_has", "op", r'(?!您:)[^:]+:发布"Clock 05"到PGM'),
    ("described", "op", "Clock 05", "PGM"),
    # Changes at the server; a name with markup shows literally.
    ("sim", "a", 'rename 0 "<b>x"'),
    ("log", "op", 'ovcg-sim:重命名"Lower third 01"为"<b>x"'),
    ("see", "op", "<b>x", {"role": "frame"}),
    ("see", "op", "<b>x", {"role": "label"}),
    ("sim", "a", "move 0 5"),
    ("log", "op", 'ovcg-sim:调整了"<b>x"的位置 从"0"至"5"'),
    ("sim", "a", "remove 0"),
    ("log", "op", 'ovcg-sim:删除了"Headline 02"'),
    ("not_see", "op", "Headline 02", {"role": "frame"}),
    ("sim", "a", "add Breaking"),
    ("log", "op", 'ovcg-sim:新增了"Breaking"'),
    ("see", "op", "Breaking", {"role": "frame"}),
    ("sim", "a", "image 1"),
    ("log", "op", 'ovcg-sim:编辑了"Scoreboard 04"'),
    ("exit", "op2", 0),
    # A kick empties the catalogue and brings the hint back.
    ("sim", "a", "kick 1 1"),
    ("see", "op", KICKED_BLACKLIST, {"role": "label"}),
    ("click", "op", "是", {"within": "提示"}),
    ("log", "op", "系统:您与" + KICKED_BLACKLIST),
    ("not_see", "op", "Breaking", {"role": "frame"}),
    ("see", "op", HINT, {"role": "label"}),
    ("exit", "op", 0),
]

SCENARIOS["screenshots_views"] = [
    ("simulator", "a", "--listen", "10.77.0.1"),
    ("console", "op"),
    *login("op"),
    ("sim", "a", "status 1 1"),
    ("sim", "a", "status 2 2"),
    ("described", "op", "Weather 03", "PVW"),
    ("click", "op", "Scoreboard 04", {"role": "frame"}),
    ("sim", "a", "hold on"),
    ("click", "op", "Clock 05", {"role": "frame"}),
    ("click", "op", "PGM", {"role": "push button"}),
    ("described", "op", "Clock 05", "发送中"),
    ("hover", "op", "Logo 06", {"role": "frame"}),
    ("shot", "main_tiles", "op", MAIN),
    ("sim", "a", "hold off"),
    ("described", "op", "Clock 05", "PGM"),
    # A running order of three cues built with Insert; GO takes the first.
    ("click", "op", "Lower third 01", {"role": "frame"}),
    ("focus", "op"),
    ("key", "Insert"),
    ("click", "op", "Weather 03", {"role": "frame"}),
    ("key", "Insert"),
    ("click", "op", "Ticker 07", {"role": "frame"}),
    ("key", "Insert"),
    ("described", "op", "执行下一条", "下一条：Lower third 01", {"role": "push button"}),
    ("click", "op", "执行下一条", {"within": MAIN}),
    ("described", "op", "Lower third 01", "PGM"),
    # GO names the cue it takes next.
    ("described", "op", "执行下一条", "下一条：Weather 03", {"role": "push button"}),
    ("shot", "main_running_order", "op", MAIN),
    # The collapse button shows while the pointer is near the splitter handle.
    ("hover", "op", None, {"role": "list", "within": MAIN, "dx": -14}),
    ("click", "op", "收起操作日志", {"role": "check box"}),
    ("hover", "op", "Quote 12", {"role": "frame"}),
    ("shot", "main_log_collapsed", "op", MAIN),
    ("menu", "op", "帮助", HELP_SHORTCUTS, {"within": MAIN}),
    ("window", "op", "快捷键"),
    ("shot", "shortcut_dialog", "op", "快捷键"),
    ("click", "op", "关闭", {"within": "快捷键"}),
    ("no_window", "op", "快捷键"),
    ("exit", "op", 0),
]

# The console in English (language=en): texts, log lines, accessible names and
# the search field, with pictures beside the Chinese ones.
SCENARIOS["screenshots_english"] = [
    ("simulator", "a", "--listen", "10.77.0.1"),
    ("console", "op", {"config": "[CONFIG]\nlanguage=en\n"}),
    ("log", "op", "System:Welcome to TolvaCGVestrel"),
    ("see", "op", "Connect to the studio system on the local network to get the CG list", {"role": "label"}),
    ("click", "op", "Connect", {"within": MAIN}),
    ("window", "op", "Connection"),
    ("see", "op", "10.77.0.1(not logged in)", {"within": "Connection"}),
    ("shot", "login_dialog_en", "op", "Connection"),
    ("click", "op", "Connect", {"within": "Connection"}),
    ("no_window", "op", "Connection"),
    ("see", "op", "Connected", {"role": "push button", "within": MAIN}),
    ("log", "op", "System:You are connected to the studio"),
    ("click", "op", "Headline 02", {"role": "frame"}),
    ("click", "op", "PGM", {"role": "push button"}),
    ("log", "op", 'You:put "Headline 02" on PGM'),
    ("described", "op", "Headline 02", "PGM"),
    ("sim", "a", "status 2 2"),
    ("described", "op", "Weather 03", "PVW"),
    ("shot", "main_tiles_en", "op", MAIN),
    # With the single keys on, Ctrl+F hands the keys to the search field: Z
    # types there and publishes nothing.
    ("focus", "op"),
    ("key", "ctrl+alt+q"),
    ("log", "op", "System:Single keys on"),
    ("key", "ctrl+f"),
    ("key", "w e a z"),
    ("see", "op", "0 / 12", {"role": "label"}),
    ("key", "BackSpace"),
    ("see", "op", "1 / 12", {"role": "label"}),
    ("not_see", "op", "Headline 02", {"role": "frame"}),
    ("shot", "main_search_en", "op", MAIN),
    # Enter makes the match current and hands the keys back: Z publishes it.
    ("key", "Return"),
    ("key", "z"),
    ("log", "op", 'You:put "Weather 03" on PGM'),
    ("described", "op", "Weather 03", "PGM"),
    # Esc empties the field and every tile shows again.
    ("key", "ctrl+f"),
    ("key", "Escape"),
    ("see", "op", "Headline 02", {"role": "frame"}),
    ("record", "a", r'console 1 -> .*"cmd":"updateCG"', {"count": 2}),
    ("menu", "op", "Help", HELP_SHORTCUTS, {"within": MAIN}),
    ("window", "op", "Shortcuts"),
    ("shot", "shortcut_dialog_en", "op", "Shortcuts"),
    ("click", "op", "Close", {"within": "Shortcuts"}),
    ("no_window", "op", "Shortcuts"),
    ("exit", "op", 0),
]

SCENARIOS["screenshots_gallery"] = [
    ("program", "ovuigallery", "OvUIUtility 控件一览"),
    ("sleep", 1),
    ("shot", "widget_gallery", {"xwindow": "OvUIUtility 控件一览"}),
]


# Run by tests/e2e/check-install against an installed program (--installed).
INSTALLED_SCENARIOS = {
    "installed": [
        ("simulator", "a", "--listen", "10.77.0.1"),
        ("installed_console", "op"),
        ("log", "op", WELCOME),
        *login("op"),
        ("log", "op", CONNECTED),
        ("shot", "installed_main", "op", MAIN),
        ("exit", "op", 0),
    ],
}

# A button panel over OSC: commands by position, by name and for the current
# item (Debian's oscsend), and the tally that follows (Debian's oscdump).
OSC_CONFIG = "[CONFIG]\nosc_port=9000\nosc_feedback=127.0.0.1:9001\n"
SCENARIOS["osc_panel"] = [
    ("simulator", "a", "--listen", "10.77.0.1"),
    ("oscdump", "panel", 9001),
    ("console", "op", {"config": OSC_CONFIG}),
    ("log", "op", "系统:OSC控制在127.0.0.1:9000上监听"),
    *login("op"),
    ("osc_seen", "panel", r" /ovcg/connected i 1$"),
    # The catalogue the login brought, told position by position.
    ("osc_seen", "panel", r' /ovcg/status sii "Weather 03" 3 0$'),
    ("oscsend", 9000, "/ovcg/pgm", "i", 2),
    ("record", "a", r'console 1 -> .*"cmd":"updateCG".*"curStatus":1'),
    ("log", "op", PUBLISHED.format("Headline 02", "PGM")),
    ("osc_seen", "panel", r' /ovcg/status sii "Headline 02" 2 1$'),
    ("oscsend", 9000, "/ovcg/pvw", "s", "Weather 03"),
    ("osc_seen", "panel", r' /ovcg/current sii "Weather 03" 3 0$'),
    ("log", "op", PUBLISHED.format("Weather 03", "PVW")),
    ("osc_seen", "panel", r' /ovcg/status sii "Weather 03" 3 2$'),
    ("described", "op", "Weather 03", "PVW"),
    ("oscsend", 9000, "/ovcg/cancel"),
    ("log", "op", CANCELLED.format("Weather 03")),
    ("osc_seen", "panel", r' /ovcg/status sii "Weather 03" 3 0$', 2),
    # Garbage changes nothing: three requests in all reached the server.
    ("oscsend", 9000, "/ovcg/launch", "i", 1),
    ("oscsend", 9000, "/ovcg/pgm", "i", 99),
    ("sleep", 0.5),
    ("record", "a", r'console 1 -> .*"cmd":"updateCG"', {"count": 3}),
    ("exit", "op", 0),
]

# Three consoles that reconnect by themselves, random publishes and server
# changes for two minutes, two server crashes: every console ends up showing
# exactly the server's list.
RECONNECT = "[CONFIG]\nreconnect=true\n"
SOAK_CONSOLES = ["op1", "op2", "op3"]
SCENARIOS["reconnect_soak"] = [
    ("simulator", "a", "--listen", "10.77.0.1", "--items", "6"),
    *[step for name in SOAK_CONSOLES for step in [("console", name, {"config": RECONNECT}), *login(name)]],
    ("soak", "a", SOAK_CONSOLES, {"seconds": 120, "restarts": 2}),
    *[("log", name, "系统:正在自动重新连接studio…", {"count": 2}) for name in SOAK_CONSOLES],
]

# The button-panel module (integrations/companion) against the console's remote
# API: its Node tests press its actions and read its feedbacks, variables and
# presets while they change the catalogue at the simulator. The running order
# (600 cues, the 550th next) comes in two slices.
API_PORT = 19100
API_TOKEN = "e2e-panel-token-of-the-suite"
API_VIEW_TOKEN = "e2e-panel-view-token-of-the-suite"
API_CONFIG = f"[CONFIG]\napi_port={API_PORT}\napi_token={API_TOKEN}\napi_view_token={API_VIEW_TOKEN}\n"
SCENARIOS["companion_module"] = [
    ("simulator", "a", "--listen", "10.77.0.1"),
    ("running_order", "a", 600, 550),
    ("console", "op", {"config": API_CONFIG}),
    *login("op"),
    ("node_test", "op", "a", "integrations/companion", "test/live", API_PORT, API_TOKEN,
     {"view_token": API_VIEW_TOKEN, "seconds": 150}),
    ("exit", "op", 0),
]
