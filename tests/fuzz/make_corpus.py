#!/usr/bin/env python3
"""Writes the seed corpus: one file per message, each a run of frames as the
server would send them, preceded by the piece-size byte the target reads."""
import json
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
GUID = "{0f8fad5b-d9cb-469f-a165-70867728950e}"
OPERATOR = {"operationID": "{7c9e6679-7425-40de-944b-e07fc1f90ae7}",
            "operatorAddr": "10.0.0.9:5000", "operatorName": "op", "operatorGuid": "tok"}


def frame(obj):
    body = (json.dumps(obj, indent=4, sort_keys=True, ensure_ascii=False) + "\n").encode()
    return struct.pack(">I", len(body)) + b"\x01\x00\x00\x00" + body


def notify(kind, value):
    return {"cmd": "notifyCG", "cmdType": "request",
            "value": {"operationTarget": GUID, "operationType": kind,
                      "operationValue": value, "operator": OPERATOR}}


def response(cmd, code=0, value=None):
    return {"cmd": cmd, "cmdType": "response", "code": code, "codeInfo": "",
            "value": value or {}}


ITEM = {"guid": GUID, "name": "A", "status": 1, "imageBase64": "iVBORw0KGgo="}
SEEDS = {
    "login_ok": [response("login", 0, {"token": "tok"}), response("syncCGList", 0, {"cgList": [ITEM]})],
    "login_refused": [response("login", -3)],
    "heart": [response("heart"), response("updateCG")],
    "notify_status": [notify(1, {"status": 2})],
    "notify_rename": [notify(2, {"name": "B"})],
    "notify_image": [notify(3, {"imageBase64": "iVBORw0KGgo="})],
    "notify_move_remove": [notify(4, {"index": 3}), notify(5, {})],
    "notify_add": [notify(6, ITEM)],
    "notify_msg": [{"cmd": "notifyMSG", "cmdType": "request", "messageType": 1,
                    "value": {"endpointName": "studio", "connectType": 0, "connectReason": 0}}],
    "kick": [{"cmd": "kickOff", "cmdType": "request", "value": {"kickType": 2}}],
}

os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
for i, (name, messages) in enumerate(sorted(SEEDS.items())):
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(bytes([7 * i + 5]) + b"".join(frame(m) for m in messages))
