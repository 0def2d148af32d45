<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name></name>
    <message id="undoFileOperation">
        <source>Undo Last Operation</source>
        <translation>撤销上次操作</translation>
    </message>
    <message id="undoUnavailable">
        <source>The last operation cannot be undone.</source>
        <translation>无法撤销上次操作。</translation>
    </message>
    <message id="undoEmpty">
        <source>There is nothing to undo.</source>
        <translation>没有可撤销的操作。</translation>
    </message>
    <message id="undoBusy">
        <source>Undo is available once the running operations have finished.</source>
        <translation>正在进行的操作完成后才能撤销。</translation>
    </message>
    <message id="undoScope">
        <source>Undoes the last rename or move of a single item within one volume.</source>
        <translation>撤销同一卷内对单个项目的最近一次重命名或移动。</translation>
    </message>
    <message id="undoTask">
        <source>Undo “%1”</source>
        <translation>撤销“%1”</translation>
    </message>
    <message id="settings">
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message id="settingsMenu">
        <source>Settings…</source>
        <translation>设置…</translation>
    </message>
    <message id="localFiles">
        <source>Local Files</source>
        <translation>本地文件</translation>
    </message>
    <message id="newTab">
        <source>New Tab</source>
        <translation>新建标签页</translation>
    </message>
    <message id="closeTab">
        <source>Close Tab</source>
        <translation>关闭标签页</translation>
    </message>
    <message id="back">
        <source>Back</source>
        <translation>后退</translation>
    </message>
    <message id="forward">
        <source>Forward</source>
        <translation>前进</translation>
    </message>
    <message id="up">
        <source>Up</source>
        <translation>上一级</translation>
    </message>
    <message id="refresh">
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message id="currentPath">
        <source>Current Path</source>
        <translation>当前路径</translation>
    </message>
    <message id="editPath">
        <source>Edit Path</source>
        <translation>编辑路径</translation>
    </message>
    <message id="editPathShortcut">
        <source>Edit Path (Ctrl+L)</source>
        <translation>编辑路径 (Ctrl+L)</translation>
    </message>
    <message id="pathPlaceholder">
        <source>Type a path, such as ~/Documents</source>
        <translation>输入路径，例如 ~/Documents</translation>
    </message>
    <message id="filter">
        <source>Filter</source>
        <translation>筛选</translation>
    </message>
    <message id="preview">
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message id="more">
        <source>More</source>
        <translation>更多</translation>
    </message>
    <message id="dismissError">
        <source>Dismiss</source>
        <translation>关闭提示</translation>
    </message>
    <message id="readOnly">
        <source>Read-Only</source>
        <translation>只读</translation>
    </message>
    <message id="nameColumn">
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message id="kindColumn">
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message id="sizeColumn">
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message id="modifiedColumn">
        <source>Modified</source>
        <translation>修改时间</translation>
    </message>
    <message id="fileList">
        <source>File List</source>
        <translation>文件列表</translation>
    </message>
    <message id="emptyFolder">
        <source>This folder is empty</source>
        <translation>此文件夹为空</translation>
    </message>
    <message id="noMatches">
        <source>No items match the filter</source>
        <translation>没有与筛选条件匹配的项目</translation>
    </message>
    <message id="open">
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message id="openInNewTab">
        <source>Open in New Tab</source>
        <translation>在新标签页中打开</translation>
    </message>
    <message id="copy">
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message id="cut">
        <source>Cut</source>
        <translation>剪切</translation>
    </message>
    <message id="paste">
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message id="undo">
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message id="copyPath">
        <source>Copy Path</source>
        <translation>复制路径</translation>
    </message>
    <message id="finder">
        <source>Show in File Manager</source>
        <translation>在文件管理器中显示</translation>
    </message>
    <message id="selectAll">
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message id="home">
        <source>Home</source>
        <translation>主文件夹</translation>
    </message>
    <message id="desktop">
        <source>Desktop</source>
        <translation>桌面</translation>
    </message>
    <message id="downloads">
        <source>Downloads</source>
        <translation>下载</translation>
    </message>
    <message id="documents">
        <source>Documents</source>
        <translation>文档</translation>
    </message>
    <message id="favorites">
        <source>Favorites</source>
        <translation>收藏</translation>
    </message>
    <message id="tree">
        <source>Folders</source>
        <translation>文件夹</translation>
    </message>
    <message id="volumes">
        <source>Volumes</source>
        <translation>存储卷</translation>
    </message>
    <message id="loading">
        <source>Loading…</source>
        <translation>正在加载…</translation>
    </message>
    <message id="folder">
        <source>Folder</source>
        <translation>文件夹</translation>
    </message>
    <message id="file">
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message id="about">
        <source>About Dromel</source>
        <translation>关于 Dromel</translation>
    </message>
    <message id="hide">
        <source>Hide Dromel</source>
        <translation>隐藏 Dromel</translation>
    </message>
    <message id="quit">
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message id="fileMenu">
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message id="editMenu">
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message id="goMenu">
        <source>Go</source>
        <translation>前往</translation>
    </message>
    <message id="windowMenu">
        <source>Window</source>
        <translation>窗口</translation>
    </message>
    <message id="helpMenu">
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message id="minimize">
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message id="showHidden">
        <source>Show hidden items</source>
        <translation>显示隐藏项目</translation>
    </message>
    <message id="windowsKeys">
        <source>Use Windows-style keys</source>
        <translation>使用 Windows 风格按键</translation>
    </message>
    <message id="restoreTabs">
        <source>Restore tabs at startup</source>
        <translation>启动时恢复标签页</translation>
    </message>
    <message id="readOnlyNote">
        <source>Browsing never changes your files; only the file commands you choose do.</source>
        <translation>浏览不会更改您的文件，只有您选择的文件命令才会。</translation>
    </message>
    <message id="language">
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message id="appearance">
        <source>Appearance</source>
        <translation>外观</translation>
    </message>
    <message id="skin">
        <source>Skin</source>
        <translation>皮肤</translation>
    </message>
    <message id="system">
        <source>System</source>
        <translation>跟随系统</translation>
    </message>
    <message id="light">
        <source>Light</source>
        <translation>浅色</translation>
    </message>
    <message id="dark">
        <source>Dark</source>
        <translation>深色</translation>
    </message>
    <message id="glass">
        <source>Glass</source>
        <translation>玻璃</translation>
    </message>
    <message id="solid">
        <source>Solid</source>
        <translation>纯色</translation>
    </message>
    <message id="restartLanguage">
        <source>A new language takes effect the next time Dromel starts.</source>
        <translation>新的语言将在下次启动 Dromel 时生效。</translation>
    </message>
    <message id="invalidPath">
        <source>Enter an absolute path or a path beginning with ~/.</source>
        <translation>请输入绝对路径或以 ~/ 开头的路径。</translation>
    </message>
    <message id="tooManyTabs">
        <source>No more tabs can be opened: 50 is the limit.</source>
        <translation>无法打开更多标签页：最多 50 个。</translation>
    </message>
    <message id="directoryError">
        <source>Cannot read “%1”: %2</source>
        <translation>无法读取“%1”：%2</translation>
    </message>
    <message id="readError">
        <source>Cannot read: %1</source>
        <translation>无法读取：%1</translation>
    </message>
    <message id="closeNamedTab">
        <source>Close “%1”</source>
        <translation>关闭“%1”</translation>
    </message>
    <message id="statusFiltered">
        <source>%1 shown of %2</source>
        <translation>显示 %1，共 %2</translation>
    </message>
    <message id="statusSelection">
        <source>%1, %2</source>
        <translation>%1，%2</translation>
    </message>
    <message id="statusLoading">
        <source>%1 — loading…</source>
        <translation>%1 — 正在加载…</translation>
    </message>
    <message id="statusSorting">
        <source>%1 — sorting…</source>
        <translation>%1 — 正在排序…</translation>
    </message>
    <message id="items" numerus="yes">
        <source>%Ln items</source>
        <translation>
            <numerusform>%Ln 个项目</numerusform>
        </translation>
    </message>
    <message id="selected" numerus="yes">
        <source>%Ln selected</source>
        <translation>
            <numerusform>已选择 %Ln 个</numerusform>
        </translation>
    </message>
    <message id="newFolder">
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message id="newFolderName">
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message id="rename">
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message id="trash">
        <source>Move to Trash</source>
        <translation>移到回收站</translation>
    </message>
    <message id="operations">
        <source>Operations</source>
        <translation>文件操作</translation>
    </message>
    <message id="cancelTask">
        <source>Cancel Operation</source>
        <translation>取消操作</translation>
    </message>
    <message id="retryTask">
        <source>Retry</source>
        <translation>重试</translation>
    </message>
    <message id="cancel">
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message id="create">
        <source>Create</source>
        <translation>创建</translation>
    </message>
    <message id="continueOperation">
        <source>Continue</source>
        <translation>继续</translation>
    </message>
    <message id="skip">
        <source>Skip</source>
        <translation>跳过</translation>
    </message>
    <message id="keepBoth">
        <source>Keep Both</source>
        <translation>保留两者</translation>
    </message>
    <message id="replace">
        <source>Replace</source>
        <translation>替换</translation>
    </message>
    <message id="conflictTitle">
        <source>An item with the same name already exists.</source>
        <translation>已存在同名项目。</translation>
    </message>
    <message id="conflictDetails">
        <source>Source: %1
Size: %2, modified %3

Destination: %4
Size: %5, modified %6</source>
        <translation>来源：%1
大小：%2，修改于 %3

目标：%4
大小：%5，修改于 %6</translation>
    </message>
    <message id="replaceNote">
        <source>Replacing moves the existing item to the Trash.</source>
        <translation>替换会将现有项目移到回收站。</translation>
    </message>
    <message id="applyConflicts">
        <source>Do this for all remaining conflicts</source>
        <translation>对其余所有冲突执行相同操作</translation>
    </message>
    <message id="limitedTitle">
        <source>Continue without exclusive renaming?</source>
        <translation>要在不支持独占重命名的情况下继续吗？</translation>
    </message>
    <message id="limitedBody">
        <source>The volume of “%1” cannot rename items exclusively, so an item created there by another program at the same moment could be replaced. Continue anyway?</source>
        <translation>“%1”所在的卷不支持独占重命名，其他程序在同一时刻于该处创建的项目可能会被替换。仍要继续吗？</translation>
    </message>
    <message id="extensionTitle">
        <source>Change the extension?</source>
        <translation>要更改扩展名吗？</translation>
    </message>
    <message id="extensionBody">
        <source>Renaming “%1” to “%2” changes its extension. The item may open in a different application.</source>
        <translation>将“%1”重命名为“%2”会更改其扩展名，该项目可能会用其他应用程序打开。</translation>
    </message>
    <message id="trashTitle">
        <source>Move to Trash?</source>
        <translation>要移到回收站吗？</translation>
    </message>
    <message id="trashBody">
        <source>%1 will be moved to the Trash.</source>
        <translation>%1将被移到回收站。</translation>
    </message>
    <message id="operationSummary">
        <source>%1 — done: %2, skipped: %3, failed: %4, remaining: %5</source>
        <translation>%1 — 已完成：%2，已跳过：%3，失败：%4，剩余：%5</translation>
    </message>
    <message id="operationProgress">
        <source>%1 of %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message id="operationRecovery">
        <source>Left for review: %1</source>
        <translation>留待检查：%1</translation>
    </message>
    <message id="operationResult">
        <source>%1: %2 → %3</source>
        <translation>%1：%2 → %3</translation>
    </message>
    <message id="noTasks">
        <source>No operations</source>
        <translation>没有文件操作</translation>
    </message>
    <message id="cutMarked">
        <source>cut</source>
        <translation>已剪切</translation>
    </message>
    <message id="writeVersion">
        <source>Before changing an item, Dromel checks that it is still the version you chose. Nothing is deleted: replaced items go to the Trash.</source>
        <translation>更改项目前，Dromel 会确认它仍是您所选的版本。不会删除任何内容：被替换的项目会移到回收站。</translation>
    </message>
    <message id="phaseQueued">
        <source>Queued</source>
        <translation>排队中</translation>
    </message>
    <message id="phasePreparing">
        <source>Preparing</source>
        <translation>正在准备</translation>
    </message>
    <message id="phaseCopying">
        <source>Copying</source>
        <translation>正在复制</translation>
    </message>
    <message id="phaseVerifying">
        <source>Verifying</source>
        <translation>正在校验</translation>
    </message>
    <message id="phaseWaiting">
        <source>Waiting for your answer</source>
        <translation>等待您的回应</translation>
    </message>
    <message id="phaseCommitting">
        <source>Finishing</source>
        <translation>正在完成</translation>
    </message>
    <message id="phaseCancelling">
        <source>Cancelling</source>
        <translation>正在取消</translation>
    </message>
    <message id="phaseCompleted">
        <source>Completed</source>
        <translation>已完成</translation>
    </message>
    <message id="phasePartial">
        <source>Partly completed</source>
        <translation>部分完成</translation>
    </message>
    <message id="phaseFailed">
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message id="phaseCancelled">
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message id="phaseNeedsReview">
        <source>Needs review</source>
        <translation>需要检查</translation>
    </message>
    <message id="outcomeSucceeded">
        <source>Succeeded</source>
        <translation>成功</translation>
    </message>
    <message id="outcomeSkipped">
        <source>Skipped</source>
        <translation>已跳过</translation>
    </message>
    <message id="outcomeFailed">
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message id="outcomeCancelled">
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message id="problemInvalidName">
        <source>The name is not valid.</source>
        <translation>名称无效。</translation>
    </message>
    <message id="problemUnsupported">
        <source>This item or request is not supported.</source>
        <translation>不支持此项目或此请求。</translation>
    </message>
    <message id="problemSourceChanged">
        <source>The item changed after it was chosen.</source>
        <translation>项目在选择后已被更改。</translation>
    </message>
    <message id="problemTargetChanged">
        <source>The destination changed after it was chosen.</source>
        <translation>目标位置在选择后已被更改。</translation>
    </message>
    <message id="problemDescendant">
        <source>A folder cannot be copied or moved into itself.</source>
        <translation>无法将文件夹复制或移动到其自身内部。</translation>
    </message>
    <message id="problemMetadataConsent">
        <source>The destination cannot rename items exclusively, and continuing without that was not approved.</source>
        <translation>目标卷不支持独占重命名，且未获准在此情况下继续。</translation>
    </message>
    <message id="problemVerification">
        <source>The copy does not match the original.</source>
        <translation>副本与原件不一致。</translation>
    </message>
    <message id="problemSystem">
        <source>The system reported an error.</source>
        <translation>系统报告了错误。</translation>
    </message>
    <message id="problemJournal">
        <source>The operations journal could not be written.</source>
        <translation>无法写入操作日志。</translation>
    </message>
    <message id="problemInterrupted">
        <source>The work was interrupted before it finished, so where each item is now is not known for certain. Check the places listed below.</source>
        <translation>操作在完成前被中断，无法确定各项目现在的位置。请检查下面列出的位置。</translation>
    </message>
    <message id="quitTasksTitle">
        <source>File operations are still running.</source>
        <translation>文件操作仍在进行。</translation>
    </message>
    <message id="quitTasksBody">
        <source>Quitting cancels them. Items already finished stay as they are; nothing is deleted.</source>
        <translation>退出将取消这些操作。已完成的项目保持原样，不会删除任何内容。</translation>
    </message>
    <message id="quitAfterCancel">
        <source>Cancel Operations and Quit</source>
        <translation>取消操作并退出</translation>
    </message>
    <message id="search">
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message id="searchPlaceholder">
        <source>Name, or a pattern such as *.pdf</source>
        <translation>名称，或 *.pdf 这样的模式</translation>
    </message>
    <message id="searchContentPlaceholder">
        <source>Text inside files</source>
        <translation>文件中的文字</translation>
    </message>
    <message id="searchThisFolder">
        <source>This Folder</source>
        <translation>此文件夹</translation>
    </message>
    <message id="searchHome">
        <source>Home</source>
        <translation>主文件夹</translation>
    </message>
    <message id="searchThisVolume">
        <source>This Volume</source>
        <translation>此卷</translation>
    </message>
    <message id="searchStart">
        <source>Search In</source>
        <translation>搜索位置</translation>
    </message>
    <message id="searchNames">
        <source>Names</source>
        <translation>名称</translation>
    </message>
    <message id="searchContents">
        <source>Contents</source>
        <translation>内容</translation>
    </message>
    <message id="searchMode">
        <source>Search By</source>
        <translation>搜索方式</translation>
    </message>
    <message id="searchType">
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message id="searchAnyType">
        <source>Any Type</source>
        <translation>任意类型</translation>
    </message>
    <message id="searchTypeFolder">
        <source>Folders</source>
        <translation>文件夹</translation>
    </message>
    <message id="searchTypeDocument">
        <source>Documents</source>
        <translation>文档</translation>
    </message>
    <message id="searchTypeImage">
        <source>Images</source>
        <translation>图像</translation>
    </message>
    <message id="searchTypeAudio">
        <source>Audio</source>
        <translation>音频</translation>
    </message>
    <message id="searchTypeVideo">
        <source>Videos</source>
        <translation>视频</translation>
    </message>
    <message id="searchTypeArchive">
        <source>Archives</source>
        <translation>归档文件</translation>
    </message>
    <message id="searchModified">
        <source>Modified</source>
        <translation>修改时间</translation>
    </message>
    <message id="searchAnyTime">
        <source>Any Time</source>
        <translation>任何时间</translation>
    </message>
    <message id="searchPastDay">
        <source>Past Day</source>
        <translation>过去一天</translation>
    </message>
    <message id="searchPastWeek">
        <source>Past Week</source>
        <translation>过去一周</translation>
    </message>
    <message id="searchPastMonth">
        <source>Past Month</source>
        <translation>过去一个月</translation>
    </message>
    <message id="searchPastYear">
        <source>Past Year</source>
        <translation>过去一年</translation>
    </message>
    <message id="searchSizeAbove">
        <source>Over (MB)</source>
        <translation>大于 MB</translation>
    </message>
    <message id="searchSizeBelow">
        <source>Under (MB)</source>
        <translation>小于 MB</translation>
    </message>
    <message id="searchOtherVolumes">
        <source>Other Volumes</source>
        <translation>其他卷</translation>
    </message>
    <message id="searchClose">
        <source>Close Search</source>
        <translation>关闭搜索</translation>
    </message>
    <message id="searchUnreadable">
        <source>Some folders could not be read</source>
        <translation>部分文件夹无法读取</translation>
    </message>
    <message id="locationColumn">
        <source>Location</source>
        <translation>位置</translation>
    </message>
    <message id="openContainingFolder">
        <source>Open Containing Folder</source>
        <translation>打开所在文件夹</translation>
    </message>
</context>
</TS>
