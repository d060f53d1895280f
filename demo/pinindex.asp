<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>今日推荐</title>
<style>body{margin:6px;font-size:12px;font-family:宋体;background:#ffffff} a{color:#0000ff} td{font-size:12px}</style>
</head>
<body>
<b>今日推荐</b>
<table width="420" cellspacing="4">
<tr><td><a href="http://mote-zhijia.example/" target="_blank">模特之家</a></td><td>本周新增写真专辑二十套</td></tr>
<tr><td><a href="http://china-mote.example/" target="_blank">中国模特在线</a></td><td>年度模特大赛图片直播</td></tr>
<tr><td><a href="http://mingxing.example/" target="_blank">明星网</a></td><td>明星壁纸每日更新</td></tr>
<tr><td><a href="http://chemo.example/" target="_blank">车模网</a></td><td>车展美女高清图集</td></tr>
</table>
<p>点击左侧的分类标签，浏览更多美图网站。</p>
</body>
</html>
