<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>OvTr</name>
    <message>
        <source>Hello</source>
        <translation>Bonjour-a</translation>
    </message>
    <message>
        <source>Only A</source>
        <translation>Seulement A</translation>
    </message>
</context>
</TS>
