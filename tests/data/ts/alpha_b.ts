<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>OvTr</name>
    <message>
        <source>Hello</source>
        <translation>Bonjour-b</translation>
    </message>
    <message>
        <source>Only B</source>
        <translation>Seulement B</translation>
    </message>
</context>
</TS>
