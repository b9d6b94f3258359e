<?xml version="1.0" encoding="UTF-8"?>
<!-- Shows a Zentrava method trace as one table row per call, with its
     arguments (and the listed array elements) in the last column. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/TraceRecords">
    <html>
      <head>
        <title>Zentrava method trace</title>
        <style>
          body { font-family: sans-serif; font-size: 13px; margin: 16px; color: #222; }
          h1 { font-size: 18px; margin: 0 0 4px 0; }
          p.summary { margin: 0 0 12px 0; color: #555; }
          table { border-collapse: collapse; width: 100%; }
          th { background: #2f4f6f; color: #fff; text-align: left; padding: 4px 8px; position: sticky; top: 0; }
          td { border-bottom: 1px solid #ddd; padding: 3px 8px; vertical-align: top; }
          tr:nth-child(even) td { background: #f4f7fa; }
          td.num { text-align: right; font-variant-numeric: tabular-nums; }
          td.io { color: #777; }
          span.dir { color: #777; font-size: 11px; }
          span.value { font-family: monospace; }
          span.elements { font-family: monospace; color: #555; }
          tr.unfinished td { color: #a33; }
        </style>
      </head>
      <body>
        <h1>Zentrava method trace</h1>
        <p class="summary">
          <xsl:value-of select="count(Method)"/> calls,
          <xsl:value-of select="count(Method[@Interface='CDriverIOManager'])"/> of them instrument I/O;
          from <xsl:value-of select="Method[1]/@StartTime"/>
          to <xsl:value-of select="Method[last()]/@EndTime"/>.
        </p>
        <table>
          <tr>
            <th>#</th><th>Start</th><th>End</th><th>Seconds</th><th>Thread</th>
            <th>Interface</th><th>Member</th><th>Arguments</th>
          </tr>
          <xsl:apply-templates select="Method"/>
        </table>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="Method">
    <tr>
      <xsl:if test="not(@EndTime)"><xsl:attribute name="class">unfinished</xsl:attribute></xsl:if>
      <td class="num"><xsl:value-of select="position()"/></td>
      <td><xsl:value-of select="@StartTime"/></td>
      <td><xsl:value-of select="@EndTime"/></td>
      <td class="num"><xsl:value-of select="@ExecutionTime"/></td>
      <td class="num"><xsl:value-of select="@Thread"/></td>
      <td>
        <xsl:if test="@Interface='CDriverIOManager'"><xsl:attribute name="class">io</xsl:attribute></xsl:if>
        <xsl:value-of select="@Interface"/>
      </td>
      <td><xsl:value-of select="@Name"/></td>
      <td><xsl:apply-templates select="Parameter"/></td>
    </tr>
  </xsl:template>

  <xsl:template match="Parameter">
    <div>
      <xsl:value-of select="@Name"/>
      <xsl:text> </xsl:text>
      <span class="dir">[<xsl:value-of select="@Direction"/>]</span>
      <xsl:text> = </xsl:text>
      <span class="value"><xsl:value-of select="@Value"/></span>
      <xsl:if test="@NumDims">
        <xsl:text> (</xsl:text>
        <xsl:value-of select="@NumDims"/>-D, size <xsl:value-of select="@DimSizes"/>
        <xsl:text>)</xsl:text>
        <xsl:if test="Element">
          <xsl:text> </xsl:text>
          <span class="elements">
            <xsl:for-each select="Element">
              <xsl:if test="position() &gt; 1">, </xsl:if>
              <xsl:value-of select="."/>
            </xsl:for-each>
            <xsl:if test="count(Element) &lt; translate(@DimSizes, ',', '')"> …</xsl:if>
          </span>
        </xsl:if>
      </xsl:if>
    </div>
  </xsl:template>
</xsl:stylesheet>
